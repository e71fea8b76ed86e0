#include "app/LinuxPlatform.h"

#include <QEventLoop>
#include <QTimer>

#include "app/JournalEcho.h"
#include "dialup/ModemCheck.h"
#include "gui/desktop/HeadlessDialogs.h"
#include "gui/desktop/QtDialogs.h"
#include "gui/desktop/QtHelp.h"
#include "gui/desktop/QtTrayShell.h"
#include "platform/DesktopNotifications.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/LogindResume.h"
#include "platform/PosixShell.h"
#include "platform/QtEventLoop.h"
#include "platform/SdlSound.h"
#include "platform/SecretService.h"
#include "platform/SystemClock.h"
#include "platform/TcpLinkProbe.h"
#include "platform/TimerfdWallClock.h"
#include "platform/X11Windows.h"
#include "platform/XdgRegistry.h"

namespace obu {

namespace {

std::unique_ptr<Dialogs> makeDialogs(bool headless) {
    if (headless) return std::make_unique<HeadlessDialogs>();
    return std::make_unique<QtDialogs>();
}

// NetworkManager's first answers, so that the connection panel lists its
// profiles and a connection of it that is up already is found at start.
// Without a bus or NetworkManager they come at once; a NetworkManager that
// does not answer holds the start only briefly.
void awaitNetworkManager(NetworkManagerService& networkManager) {
    if (networkManager.isSettled()) return;
    QEventLoop wait;
    QObject::connect(&networkManager, &NetworkManagerService::settled, &wait, &QEventLoop::quit);
    QTimer::singleShot(2000, &wait, &QEventLoop::quit);
    wait.exec();
}

// An installed copy keeps the passwords in the user's keyring; a portable
// one keeps them in its obu.ini, which travels with it.
std::unique_ptr<SecretService> makeKeyring(const LinuxPlatform::Options& options) {
    if (options.dataFolders.settings.isEmpty() || options.dataFolders.besideProgram) return {};
    return std::make_unique<SecretService>(SecretService::Options{!options.headless});
}

// Headless, nobody could see a tray icon: no need to say that there is none.
std::function<void(const QString&)> trayComplaint(bool headless) {
    if (headless) return [](const QString&) {};
    return {};
}

}  // namespace

// In the order they depend on each other, so that they are destroyed the
// other way round.
struct LinuxPlatform::Backends {
    explicit Backends(const Options& options)
        : dialogs(makeDialogs(options.headless)),
          dispatcher(*dialogs, QStringLiteral("OBU v1.3")),
          lines(clock, loop, options.lines),
          dialUp(lines, networkManager),
          modemCheck(lines, lines.paths().lockDir),
          tray(loop, trayComplaint(options.headless)),
          sound(options.programFolder),
          linkProbe(loop),
          wallClock(loop),
          resume(loop),
          notifications(QDBusConnection::sessionBus(),
                        options.programFolder + QStringLiteral("obu-icon.png")),
          keyring(makeKeyring(options)) {
        loop.setDispatcher(&dispatcher);
        awaitNetworkManager(networkManager);
    }

    SystemClock clock;
    QtEventLoop loop;
    std::unique_ptr<Dialogs> dialogs;
    Dispatcher dispatcher;
    IniFileProfile profile;
    Formats formats;
    LineService lines;
    NetworkManagerService networkManager;
    CombinedDialUpService dialUp;
    LineModemCheck modemCheck;
    QtTrayShell tray;
    // Sounds and tunes by bare name from the program's folder.
    SdlSound sound;
    XdgRegistry registry;
    PosixShell shell;
    X11Windows windows;
    QtHelp help;
    TcpLinkProbe linkProbe;
    TimerfdWallClock wallClock;
    LogindResume resume;
    DesktopNotifications notifications;
    std::unique_ptr<SecretService> keyring;
};

LinuxPlatform::LinuxPlatform(const Options& options)
    : m_backends(std::make_unique<Backends>(options)) {
    Backends& b = *m_backends;
    m_platform.clock = &b.clock;
    m_platform.loop = &b.loop;
    m_platform.dialogs = b.dialogs.get();
    m_platform.dispatcher = &b.dispatcher;
    m_platform.profile = &b.profile;
    m_platform.formats = &b.formats;
    m_platform.dialUp = &b.dialUp;
    m_platform.modemCheck = &b.modemCheck;
    m_platform.tray = &b.tray;
    m_platform.sound = &b.sound;
    m_platform.registry = &b.registry;
    m_platform.shell = &b.shell;
    m_platform.windows = &b.windows;
    m_platform.help = &b.help;
    m_platform.linkProbe = &b.linkProbe;
    m_platform.wallClock = &b.wallClock;
    m_platform.resume = &b.resume;
    // Headless, there is no window whose absence a message would make up for.
    if (!options.headless) m_platform.notifications = &b.notifications;
    m_platform.keyring = b.keyring.get();
    m_platform.programFolder = options.programFolder;
    m_platform.settingsFolder = options.dataFolders.settings;
    m_platform.logFolder = options.dataFolders.log;
    if (options.headless) m_platform.logEcho = headlessLogEcho();
}

LinuxPlatform::~LinuxPlatform() = default;

LineService& LinuxPlatform::lines() {
    return m_backends->lines;
}

NetworkManagerService& LinuxPlatform::networkManager() {
    return m_backends->networkManager;
}

CombinedDialUpService& LinuxPlatform::dialUp() {
    return m_backends->dialUp;
}

}  // namespace obu
