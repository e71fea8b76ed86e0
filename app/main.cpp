// Obu Linekeeper: looks after one dial-up connection.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/KeeperBus.h"
#include "app/LinuxPlatform.h"
#include "app/Options.h"
#include "app/SettingsOptions.h"
#include "app/SingleInstance.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/SplashScreen.h"
#include "model/Settings.h"
#include "platform/Autostart.h"
#include "platform/DataFolders.h"
#include "platform/Dispatcher.h"
#include "platform/HomeFolder.h"
#include "platform/IniFileProfile.h"
#include "platform/OpenFileLimit.h"
#include "platform/ProgramFolder.h"
#include "platform/SecretService.h"
#include "platform/TerminationSignals.h"

namespace {

bool haveDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// Asked for, or guessed without a display. Writing the settings shows no
// window either.
bool runsHeadless(const obu::Options& options) {
    if (options.headless || options.writesSettings()) return true;
    if (options.platformChosen || haveDisplay() ||
        qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        return false;
    std::fputs("obu: no display found; running headless (see obu --help)\n", stderr);
    return true;
}

// --autostart on or off: done, said, and the program ends.
int setAutostartAndExit(bool on) {
    QString message;
    const bool done =
        obu::setAutostart(on, obu::autostartProgram(obu::executableFolder()), message);
    std::fprintf(done ? stdout : stderr, "%s%s\n", done ? "" : "obu: ", qPrintable(message));
    return done ? 0 : 1;
}

// The one running copy per set of settings. Returns the exit code when this
// copy is not to run; a guard that cannot be had is said and the program runs.
int claimOrExit(obu::SingleInstance& instance, bool writingSettings) {
    const auto claim = instance.acquire();
    if (claim == obu::SingleInstance::Claim::Unguarded) {
        std::fprintf(stderr, "obu: %s; running without the guard against a second copy\n",
                     qPrintable(instance.unguardedReason()));
    } else if (claim == obu::SingleInstance::Claim::HeldByAnother && writingSettings) {
        // Its save at exit would write over them.
        std::fputs(
            "obu: a running copy keeps these settings; end it first (systemctl --user stop "
            "obu-keeper)\n",
            stderr);
        return 1;
    } else if (claim == obu::SingleInstance::Claim::HeldByAnother) {
        if (instance.signalRunningCopy()) {
            std::puts(
                "Obu Linekeeper is already running with these settings; its window was brought "
                "forward.");
            return 0;
        }
        std::fprintf(stderr, "obu: another copy holds %s but does not answer: %s\n",
                     qPrintable(instance.lockPath()), qPrintable(instance.signalProblem()));
        return 1;
    }
    return -1;
}

// Said once a name is seen to clash; through the loop, as the panel's list
// is filled while the windows are being made.
void logHiddenEntries(obu::LinuxPlatform& backends, const std::unique_ptr<obu::Program>& program,
                      QObject& context) {
    obu::Platform& platform = backends.platform();
    QObject::connect(
        &backends.dialUp(), &obu::CombinedDialUpService::entryHidden, &context,
        [&program, &platform](const QString& name, const QString& source) {
            if (!program) return;
            platform.dispatcher->run([&] {
                program->mainWindow->writeLogLine(
                    QStringLiteral("The %1 connection \"%2\" is hidden by the phone book's entry "
                                   "of the same name")
                        .arg(source, name));
            });
        },
        Qt::QueuedConnection);
}

// --entry and the others: written, then the program ends (the exit code) or,
// with --headless, runs on (-1).
int writeSettings(const obu::Options& options, const obu::DataFolders& folders) {
    if (!options.writesSettings()) return -1;
    obu::IniFileProfile profile;
    obu::Settings settings(profile, folders.settings + QStringLiteral("obu.ini"));
    // Nobody would see the keyring's prompt: a locked keyring leaves the
    // password in obu.ini.
    obu::SecretService keyring(obu::SecretService::Options{false});
    if (!folders.besideProgram)
        settings.useKeyring(&keyring, [](const QString& problem) {
            std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
        });
    const int exit = obu::writeSettingsOptions(options, settings);
    return exit != 0 || !options.headless ? exit : -1;
}

std::unique_ptr<obu::KeeperBus> offerOnSessionBus(obu::Program& program) {
    auto bus = std::make_unique<obu::KeeperBus>(program.lineKeeper(), program.alarmClock());
    if (const QString problem = bus->registerOnSessionBus(); !problem.isEmpty())
        std::fprintf(stderr, "obu: %s; no control on the session bus\n", qPrintable(problem));
    return bus;
}

}  // namespace

int main(int argc, char** argv) {
    // First of all: a termination signal at any moment of the start ends the
    // program the normal way, once it can.
    obu::TerminationSignals::catchEarly();
    obu::raiseOpenFileLimit();
    obu::Options options;
    if (const int exit = obu::parseOptions(argc, argv, options); exit >= 0) return exit;
    if (const QString problem = obu::settleHomeFolder(); !problem.isEmpty())
        std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
    if (options.autostart) return setAutostartAndExit(*options.autostart);
    const bool headless = runsHeadless(options);
    if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("obu"));

    const QString folder = obu::executableFolder();
    const obu::DataFolders dataFolders = obu::dataFolders(folder);
    if (dataFolders.settings.isEmpty()) {
        std::fprintf(stderr, "obu: no folder for the settings and the log of %s\n",
                     qPrintable(folder));
        return 1;
    }
    // The lock guards the log and the settings, so it lives with them.
    obu::SingleInstance instance(dataFolders.log);
    if (const int exit = claimOrExit(instance, options.writesSettings()); exit >= 0) return exit;
    if (const int exit = writeSettings(options, dataFolders); exit >= 0) return exit;

    obu::LinuxPlatform backends({folder, dataFolders, headless});
    obu::Platform& platform = backends.platform();

    // A termination request that comes before or while the windows are being
    // made (a box at start runs the loop) is kept: once they exist, the
    // program closes the normal way.
    std::unique_ptr<obu::Program> program;
    logHiddenEntries(backends, program, app);
    const auto closeProgram = [&program] {
        if (program && !program->application().quitting()) program->splashScreen->closeWindow();
    };
    obu::TerminationSignals terminationSignals(closeProgram);
    program = std::make_unique<obu::Program>(platform);
    program->application().setOnQuit([] { QCoreApplication::quit(); });
    if (obu::TerminationSignals::requested()) closeProgram();
    const bool listening = instance.listen([&program] {
        obu::MainWindow* main = program->mainWindow;
        main->setShowState(obu::ShowState::Normal);
        main->bringToFront();
    });
    if (!listening)
        std::fprintf(stderr, "obu: %s; a later start cannot bring this copy forward\n",
                     qPrintable(instance.listenProblem()));

    auto bus = offerOnSessionBus(*program);

    if (!program->application().quitting()) QApplication::exec();
    bus.reset();
    program.reset();
    return 0;
}
