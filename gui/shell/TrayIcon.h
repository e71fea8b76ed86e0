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
    bool isVisible() const { return m_visible; }
    void setPicture(const QIcon& picture);
    void setToolTip(const QString& tip);
    const QString& toolTip() const { return m_tip; }
    // Not owned; forgotten by itself when the menu is destroyed first.
    void setPopupMenu(QMenu* menu) {
        m_menu = menu;
        m_shell.setMenu(menu);
    }
    QMenu* popupMenu() const { return m_menu; }

    // How the menu is shown: by default QMenu::exec at the point. Tests, which
    // run where no menu can be clicked, put a handler here that records the
    // call and may trigger an entry; an empty handler restores the default.
    void setPopupHandler(PopupHandler handler) { m_popupHandler = std::move(handler); }

signals:
    void clicked();
    void doubleClicked();
    // After the menu of a right click closed, with where the mouse was.
    void rightClicked(QPoint at);

private:
    void onShellAction(TrayAction action);
    void popUpMenuAtCursor();
    void updateShell();

    TrayShell& m_shell;
    QIcon m_picture;
    QString m_tip;
    bool m_visible = false;
    QPointer<QMenu> m_menu;
    PopupHandler m_popupHandler;
    bool m_menuOpen = false;
};

}  // namespace obu
