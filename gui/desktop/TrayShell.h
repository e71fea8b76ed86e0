#pragma once
// The notification area as the program sees it: one icon with a picture and a
// tooltip, and what the user does to it. QtTrayShell is the Linux
// implementation; tests put a recording double in its place.
#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;

namespace obu {

class EventLoop;

// What the user did to the icon. A double click comes as the whole gesture a
// tray reports: Click, DoubleClick, Click.
enum class TrayAction { Click, DoubleClick, MenuRequest, MiddleClick };

class TrayShell : public QObject {
    Q_OBJECT
public:
    explicit TrayShell(EventLoop& loop) : m_loop(loop) {}

    // Shows the icon, or gives the shown icon a new picture and tip. A null
    // picture shows an empty slot that can still be clicked.
    virtual void show(const QIcon& picture, const QString& tip) = 0;
    virtual void hide() = 0;
    virtual bool shown() const = 0;

    // False when this desktop has no notification area, so an icon cannot be
    // seen: a window must then not hide itself with the icon as the only way back.
    virtual bool available() const = 0;

    // The icon's menu, for a notification area that shows menus itself (a
    // StatusNotifierItem host, which reads it over D-Bus); other areas ask
    // for it with a MenuRequest. Not owned.
    virtual void setMenu(QMenu* menu) { Q_UNUSED(menu); }
    // True while the notification area shows the menu itself: a right click
    // is then no request for the program to answer.
    virtual bool showsMenuItself() const { return false; }

signals:
    // Delivered through the program's loop, never from inside the window
    // system's own event: whatever it leads to (even ending the program) runs
    // after the shell is done with it.
    void activated(obu::TrayAction action);

protected:
    void report(TrayAction action);

private:
    EventLoop& m_loop;
};

}  // namespace obu
