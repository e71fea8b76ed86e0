#pragma once
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/TrayShell.h"

namespace obu {

class EventLoop;

// Shows one icon with a tooltip in the notification area and turns mouse
// actions on it into events. A right click pops the popup menu up at the
// mouse, then reports OnRightClick.
//
// Properties are read with their name and written with set + name. Events
// run only when set, with the component as sender, on the loop's thread,
// and never after the component is destroyed.
class TrayIcon {
public:
    using TNotifyEvent = std::function<void(TrayIcon* Sender)>;
    using TMouseEvent = std::function<void(TrayIcon* Sender, Qt::MouseButton Button,
                                           Qt::KeyboardModifiers Shift, int X, int Y)>;
    // Shows the menu at a point of the screen and returns when it is closed.
    using PopupHandler = std::function<void(QMenu& menu, const QPoint& at)>;

    // WM_USER + 1 and WM_USER + 2.
    static constexpr std::uint32_t TrayCallbackMessage = 0x401;
    static constexpr std::uint32_t TrayRefreshTipMessage = 0x402;
    static constexpr int kMaxToolTip = 62;

    // Creates the hidden TrayWindow and an empty Icon; shows nothing yet.
    TrayIcon(TrayShell& shell, EventLoop& loop);
    // Deletes the icon if shown, then destroys TrayWindow: a message on its
    // way to it is dropped.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool Active() const { return FActive; }
    void setActive(bool value);
    bool ShowDesigning() const { return FShowDesigning; }
    void setShowDesigning(bool value);
    const TIcon& Icon() const { return FIcon; }
    void setIcon(const TIcon& value);
    const QString& ToolTip() const { return FToolTip; }
    void setToolTip(const QString& value);
    const TNotifyEvent& OnClick() const { return FOnClick; }
    void setOnClick(TNotifyEvent handler) { FOnClick = std::move(handler); }
    const TNotifyEvent& OnDblClick() const { return FOnDblClick; }
    void setOnDblClick(TNotifyEvent handler) { FOnDblClick = std::move(handler); }
    const TMouseEvent& OnRightClick() const { return FOnRightClick; }
    void setOnRightClick(TMouseEvent handler) { FOnRightClick = std::move(handler); }
    // Not owned; forgotten by itself when the menu is destroyed first.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void setPopupMenu(QMenu* menu) { FPopupMenu = menu; }

    const NOTIFYICONDATAA& IconData() const { return FIconData; }
    NotifyTarget TrayWindow() const { return FTrayWindow; }

    bool AddIcon();
    bool ModifyIcon();
    bool DeleteIcon();
    // The procedure of TrayWindow.
    std::intptr_t HandleTrayMessage(std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam);

    // How the menu is shown: by default QMenu::exec at the point. Tests, which
    // run where no menu can be clicked, put a handler here that records the
    // call and may trigger an entry; an empty handler restores the default.
    void setPopupHandler(PopupHandler handler) { popupHandler_ = std::move(handler); }

private:
    void FillIconData();
    void PopupAtCursor();

    TrayShell& shell_;
    EventLoop& loop_;

    NOTIFYICONDATAA FIconData{};
    TIcon FIcon;
    QString FToolTip;
    NotifyTarget FTrayWindow = 0;
    bool FActive = false;
    bool FShowDesigning = false;
    TNotifyEvent FOnClick;
    TNotifyEvent FOnDblClick;
    TMouseEvent FOnRightClick;
    QPointer<QMenu> FPopupMenu;

    PopupHandler popupHandler_;
    bool popupOpen_ = false;
    // Cleared by the destructor, so that code that runs a nested loop (the
    // menu) or an event handler can tell whether the component survived it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace obu
