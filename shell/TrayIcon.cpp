#include "shell/TrayIcon.h"

#include <QCursor>
#include <cstring>

#include "platform/EventLoop.h"

namespace obu {

namespace {

// A window procedure's default answer to a message that it does not handle.
std::intptr_t defaultWindowProcedure(std::uint32_t, std::uintptr_t, std::intptr_t) {
    return 0;
}

}  // namespace

TrayIcon::TrayIcon(TrayShell& shell, EventLoop& loop) : shell_(shell), loop_(loop) {
    FTrayWindow = NotifyTargets::create(
        [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            return HandleTrayMessage(message, wParam, lParam);
        });
}

TrayIcon::~TrayIcon() {
    *alive_ = false;
    if (FActive) DeleteIcon();
    NotifyTargets::destroy(FTrayWindow);
}

void TrayIcon::setActive(bool value) {
    if (value == FActive) return;
    FActive = value;
    if (value)
        AddIcon();
    else
        DeleteIcon();
}

// The property only matters to a form designer, and none runs inside the
// program: at run time it keeps its stored value and never shows the icon.
void TrayIcon::setShowDesigning(bool) {}

void TrayIcon::setIcon(const TIcon& value) {
    if (&value == &FIcon) return;
    FIcon.Assign(value);
    ModifyIcon();
}

void TrayIcon::setToolTip(const QString& value) {
    FToolTip = value.left(kMaxToolTip);
    ModifyIcon();
}

void TrayIcon::FillIconData() {
    std::memset(&FIconData, 0, sizeof FIconData);
    FIconData.cbSize = sizeof(NOTIFYICONDATAA);
    FIconData.hWnd = FTrayWindow;
    FIconData.uID = 0;
    FIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    FIconData.uCallbackMessage = TrayCallbackMessage;
    FIconData.hIcon = FIcon.Handle();
    // Single-byte text, as the shell's record holds it; 62 characters and the
    // zero always fit in its 64 bytes.
    const QByteArray tip = FToolTip.left(kMaxToolTip).toLatin1();
    std::memcpy(FIconData.szTip, tip.constData(), static_cast<std::size_t>(tip.size()));
    FIconData.szTip[tip.size()] = 0;
}

bool TrayIcon::AddIcon() {
    FillIconData();
    const bool added = shell_.Shell_NotifyIconA(NIM_ADD, FIconData);
    // A form description may switch the icon on before its tip is loaded:
    // the tip is applied once more when the loading is over.
    if (FToolTip.isEmpty()) NotifyTargets::post(loop_, FTrayWindow, TrayRefreshTipMessage, 0, 0);
    return added;
}

bool TrayIcon::ModifyIcon() {
    FillIconData();
    if (!FActive) return true;
    return shell_.Shell_NotifyIconA(NIM_MODIFY, FIconData);
}

bool TrayIcon::DeleteIcon() {
    return shell_.Shell_NotifyIconA(NIM_DELETE, FIconData);
}

std::intptr_t TrayIcon::HandleTrayMessage(std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    if (message == TrayRefreshTipMessage) {
        setToolTip(FToolTip);
        return 0;
    }
    if (message != TrayCallbackMessage) return defaultWindowProcedure(message, wParam, lParam);
    // Copies: a handler may replace itself or destroy the component.
    switch (static_cast<std::uint32_t>(lParam)) {
        case TrayShell::WM_LBUTTONUP:
            if (FOnClick) {
                const TNotifyEvent handler = FOnClick;
                handler(this);
            }
            break;
        case TrayShell::WM_LBUTTONDBLCLK:
            if (FOnDblClick) {
                const TNotifyEvent handler = FOnDblClick;
                handler(this);
            }
            break;
        case TrayShell::WM_RBUTTONUP:
            PopupAtCursor();
            break;
        default:
            break;
    }
    return 0;
}

void TrayIcon::PopupAtCursor() {
    const QPoint at = QCursor::pos();
    if (FPopupMenu) {
        // The menu's own loop runs posted messages: a right click that comes
        // in meanwhile does not stack a second menu on the first.
        if (popupOpen_) return;
        // Nothing needs to come forward before the menu: a Qt popup grabs the pointer and the
        // keyboard itself, so it closes on a click elsewhere and takes the keys.
        const std::shared_ptr<bool> alive = alive_;
        QPointer<QMenu> menu = FPopupMenu;
        popupOpen_ = true;
        struct Reopen {
            const std::shared_ptr<bool>& alive;
            bool& open;
            ~Reopen() {
                if (*alive) open = false;
            }
        } reopen{alive, popupOpen_};
        if (popupHandler_) {
            const PopupHandler handler = popupHandler_;
            handler(*menu, at);
        } else {
            menu->exec(at);
        }
        // Something chosen in the menu may have ended the component.
        if (!*alive) return;
    }
    if (FOnRightClick) {
        const TMouseEvent handler = FOnRightClick;
        handler(this, Qt::RightButton, Qt::NoModifier, at.x(), at.y());
    }
}

}  // namespace obu
