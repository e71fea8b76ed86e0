#include "app/LinuxPlatform.h"

#include <QEventLoop>
#include <QTimer>

#include "app/HeadlessDialogs.h"
#include "app/JournalEcho.h"
#include "dialup/ModemCheck.h"
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
#include "platform/XdgRegistry.h"

namespace obu {

namespace {

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

}  // namespace

// In the order they depend on each other, so that they are destroyed the
// other way round.
struct LinuxPlatform::Backends {
    Backends(const Options& options, std::unique_ptr<Dialogs> givenDialogs)
        : dialogs(givenDialogs ? std::move(givenDialogs) : std::make_unique<HeadlessDialogs>()),
          dispatcher(*dialogs, QStringLiteral("OBU v1.3")),
          lines(clock, loop, options.lines),
          dialUp(lines, networkManager),
          modemCheck(lines, lines.paths().lockDir),
          sound(options.programFolder),
          linkProbe(loop),
          wallClock(loop),
          resume(loop),
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
    // Sounds and tunes by bare name from the program's folder.
    SdlSound sound;
    XdgRegistry registry;
    PosixShell shell;
    TcpLinkProbe linkProbe;
    TimerfdWallClock wallClock;
    LogindResume resume;
    // Passwords in the user's keyring, for an installed copy.
    std::unique_ptr<SecretService> keyring;
};

LinuxPlatform::LinuxPlatform(const Options& options, std::unique_ptr<Dialogs> dialogs)
    : m_backends(std::make_unique<Backends>(options, std::move(dialogs))) {
    Backends& b = *m_backends;
    m_platform.clock = &b.clock;
    m_platform.loop = &b.loop;
    m_platform.dialogs = b.dialogs.get();
    m_platform.dispatcher = &b.dispatcher;
    m_platform.profile = &b.profile;
    m_platform.formats = &b.formats;
    m_platform.dialUp = &b.dialUp;
    m_platform.modemCheck = &b.modemCheck;
    m_platform.sound = &b.sound;
    m_platform.registry = &b.registry;
    m_platform.shell = &b.shell;
    m_platform.linkProbe = &b.linkProbe;
    m_platform.wallClock = &b.wallClock;
    m_platform.resume = &b.resume;
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
