#pragma once
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>

#include "gui/desktop/TrayShell.h"

namespace obu {

// The program's icon in the notification area: its picture and tooltip, and
// what the user's actions on it mean. A right click pops the popup menu up at
// the mouse, then reports rightClicked.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // Shows the menu at a point of the screen and returns when it is closed.
    using PopupHandler = std::function<void(QMenu& menu, const QPoint& at)>;

    // The longest tooltip that notification areas show whole.
    static constexpr int kMaxToolTip = 62;

    explicit TrayIcon(TrayShell& shell);
    // Removes the icon if shown; an action on its way is dropped.
    ~TrayIcon() override;

    void setVisible(bool visible);
    bool isVisible() const { return visible_; }
    void setPicture(const QIcon& picture);
    void setToolTip(const QString& tip);
    const QString& toolTip() const { return tip_; }
    // Not owned; forgotten by itself when the menu is destroyed first.
    void setPopupMenu(QMenu* menu) { menu_ = menu; }
    QMenu* popupMenu() const { return menu_; }

    // How the menu is shown: by default QMenu::exec at the point. Tests, which
    // run where no menu can be clicked, put a handler here that records the
    // call and may trigger an entry; an empty handler restores the default.
    void setPopupHandler(PopupHandler handler) { popupHandler_ = std::move(handler); }

signals:
    void clicked();
    void doubleClicked();
    // After the menu of a right click closed, with where the mouse was.
    void rightClicked(QPoint at);

private:
    void onShellAction(TrayAction action);
    void popUpMenuAtCursor();
    void updateShell();

    TrayShell& shell_;
    QIcon picture_;
    QString tip_;
    bool visible_ = false;
    QPointer<QMenu> menu_;
    PopupHandler popupHandler_;
    bool menuOpen_ = false;
};

}  // namespace obu
