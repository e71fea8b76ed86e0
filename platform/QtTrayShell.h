#pragma once
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "platform/TrayShell.h"

namespace obu {

// The notification area of a Linux desktop through QSystemTrayIcon: an
// XEmbed tray (trayer, stalonetray, panels) or a StatusNotifier host.
//
// Mouse actions become the tray's mouse messages: a left
// click WM_LBUTTONUP; a double click, which Qt reports as a click and then a
// double click, WM_LBUTTONDBLCLK and WM_LBUTTONUP, so that the whole gesture
// gives up, double click, up, as the tray menu's handlers expect;
// a right click WM_RBUTTONUP. The icon's menu is the program's own popup:
// Qt's context menu is never set, so a right click only reports the message.
//
// Where no notification area exists the icons are still kept (Qt shows them
// as soon as a tray host appears) and one line on standard error says that
// nothing can be seen; available() tells the program the same.
class QtTrayShell : public QObject, public TrayShell {
    Q_OBJECT
public:
    // warn receives the one line about a missing notification area; by
    // default it goes to standard error.
    explicit QtTrayShell(EventLoop& loop, std::function<void(const QString&)> warn = {});
    ~QtTrayShell() override;

    bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) override;
    bool available() const override;

    static const char* const kNoTrayMessage;

private:
    using Key = std::pair<NotifyTarget, std::uint32_t>;
    struct Icon {
        NOTIFYICONDATAA record;
        std::unique_ptr<QSystemTrayIcon> widget;
    };

    void apply(Icon& icon);
    void activated(const Key& key, QSystemTrayIcon::ActivationReason reason);
    void warnOnceIfNoTray();

    EventLoop& loop_;
    std::function<void(const QString&)> warn_;
    bool warned_ = false;
    std::map<Key, Icon> icons_;
};

}  // namespace obu
