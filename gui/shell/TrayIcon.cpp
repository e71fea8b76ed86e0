#include "gui/shell/TrayIcon.h"

#include <QCursor>

namespace obu {

TrayIcon::TrayIcon(TrayShell& shell) : shell_(shell) {
    connect(&shell_, &TrayShell::activated, this, &TrayIcon::onShellAction);
}

TrayIcon::~TrayIcon() {
    if (visible_) shell_.hide();
}

void TrayIcon::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible_)
        updateShell();
    else
        shell_.hide();
}

void TrayIcon::setPicture(const QIcon& picture) {
    picture_ = picture;
    updateShell();
}

void TrayIcon::setToolTip(const QString& tip) {
    tip_ = tip.left(kMaxToolTip);
    updateShell();
}

void TrayIcon::updateShell() {
    if (visible_) shell_.show(picture_, tip_);
}

void TrayIcon::onShellAction(TrayAction action) {
    if (!visible_) return;
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
    if (menu_) {
        // The menu's own loop runs posted actions: a right click that comes
        // in meanwhile does not stack a second menu on the first.
        if (menuOpen_) return;
        // Nothing needs to come forward before the menu: a Qt popup grabs the
        // pointer and the keyboard itself, so it closes on a click elsewhere
        // and takes the keys.
        const QPointer<TrayIcon> self(this);
        const QPointer<QMenu> menu = menu_;
        menuOpen_ = true;
        if (popupHandler_) {
            const PopupHandler handler = popupHandler_;
            handler(*menu, at);
        } else {
            menu->exec(at);
        }
        // Something chosen in the menu may have ended the icon.
        if (!self) return;
        menuOpen_ = false;
    }
    emit rightClicked(at);
}

}  // namespace obu
