#pragma once
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "gui/desktop/TrayShell.h"

namespace obu {

// The notification area of a Linux desktop through QSystemTrayIcon: an
// XEmbed tray (trayer, stalonetray, panels) or a StatusNotifier host.
//
// Qt reports a double click as a click and then a double click; the shell
// adds the click that ends the gesture, so that a double click always comes
// as click, double click, click. On an XEmbed tray the icon's menu is the
// program's own popup, and a right click only asks for it. A StatusNotifier
// host (GNOME's AppIndicator, KDE's tray) draws the menu itself: there the
// menu is given to Qt, which exports it over DBusMenu with its items, check
// marks and changing captions.
//
// Where no notification area exists the icon is still kept (Qt shows it as
// soon as a tray host appears) and one line on standard error says that
// nothing can be seen; available() tells the program the same.
class QtTrayShell : public TrayShell {
    Q_OBJECT
public:
    // warn receives the one line about a missing notification area; by
    // default it goes to standard error.
    explicit QtTrayShell(EventLoop& loop, std::function<void(const QString&)> warn = {});
    ~QtTrayShell() override;

    void show(const QIcon& picture, const QString& tip) override;
    void hide() override;
    bool shown() const override { return m_shown; }
    bool available() const override;
    void setMenu(QMenu* menu) override;
    bool showsMenuItself() const override { return m_hostShowsMenu; }

    static const char* const kNoTrayMessage;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void warnOnceIfNoTray();

    // A StatusNotifier host runs on the session bus: Qt shows the icon there.
    static bool statusNotifierHostRuns();

    std::function<void(const QString&)> m_warn;
    QPointer<QMenu> m_menu;
    bool m_hostShowsMenu = false;
    bool m_warned = false;
    bool m_shown = false;
    // Made with the first show, and never without a screen: headless, no
    // notification area can exist and the icon is kept as state only.
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

}  // namespace obu
