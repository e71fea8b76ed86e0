#include "gui/shell/TrayIcon.h"

#include <QCursor>

namespace obu {

TrayIcon::TrayIcon(TrayShell& shell) : m_shell(shell) {
    connect(&m_shell, &TrayShell::activated, this, &TrayIcon::onShellAction);
}

TrayIcon::~TrayIcon() {
    if (m_visible) m_shell.hide();
}

void TrayIcon::setVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (m_visible)
        updateShell();
    else
        m_shell.hide();
}

void TrayIcon::setPicture(const QIcon& picture) {
    m_picture = picture;
    updateShell();
}

void TrayIcon::setToolTip(const QString& tip) {
    m_tip = tip.left(kMaxToolTip);
    updateShell();
}

void TrayIcon::updateShell() {
    if (m_visible) m_shell.show(m_picture, m_tip);
}

void TrayIcon::onShellAction(TrayAction action) {
    if (!m_visible) return;
    switch (action) {
        case TrayAction::Click:
            emit clicked();
            break;
        case TrayAction::DoubleClick:
            emit doubleClicked();
            break;
        case TrayAction::MenuRequest:
            popUpMenuAtCursor();
            break;
        case TrayAction::MiddleClick:
            break;
    }
}

void TrayIcon::popUpMenuAtCursor() {
    const QPoint at = QCursor::pos();
    if (m_menu) {
        // The menu's own loop runs posted actions: a right click that comes
        // in meanwhile does not stack a second menu on the first.
        if (m_menuOpen) return;
        // Nothing needs to come forward before the menu: a Qt popup grabs the
        // pointer and the keyboard itself, so it closes on a click elsewhere
        // and takes the keys.
        const QPointer<TrayIcon> self(this);
        const QPointer<QMenu> menu = m_menu;
        m_menuOpen = true;
        if (m_popupHandler) {
            const PopupHandler handler = m_popupHandler;
            handler(*menu, at);
        } else {
            menu->exec(at);
        }
        // Something chosen in the menu may have ended the icon.
        if (!self) return;
        m_menuOpen = false;
    }
    emit rightClicked(at);
}

}  // namespace obu
