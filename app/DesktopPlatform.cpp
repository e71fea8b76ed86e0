#include "app/DesktopPlatform.h"

#include <QDBusConnection>

#include "gui/desktop/QtDialogs.h"
#include "gui/desktop/QtHelp.h"
#include "gui/desktop/QtTrayShell.h"
#include "platform/DesktopNotifications.h"
#include "platform/X11Windows.h"

namespace obu {

struct DesktopPlatform::Desktop {
    Desktop(EventLoop& loop, const QString& programFolder)
        : tray(loop),
          notifications(QDBusConnection::sessionBus(),
                        programFolder + QStringLiteral("obu-icon.png")) {}

    QtTrayShell tray;
    X11Windows windows;
    QtHelp help;
    // Told while the main window is away; the keeper without windows has
    // none whose absence they would make up for.
    DesktopNotifications notifications;
};

DesktopPlatform::DesktopPlatform(const LinuxPlatform::Options& options)
    : m_linux(options, std::make_unique<QtDialogs>()),
      m_desktop(std::make_unique<Desktop>(*m_linux.platform().loop, options.programFolder)) {
    Platform& platform = m_linux.platform();
    platform.tray = &m_desktop->tray;
    platform.windows = &m_desktop->windows;
    platform.help = &m_desktop->help;
    platform.notifications = &m_desktop->notifications;
}

DesktopPlatform::~DesktopPlatform() = default;

}  // namespace obu
