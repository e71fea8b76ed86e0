// Obu Linekeeper: looks after one dial-up connection.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/Options.h"
#include "connection/ModemCheck.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "core/SingleInstance.h"
#include "platform/Autostart.h"
#include "platform/DataFolders.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/HeadlessDialogs.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "platform/PosixShell.h"
#include "platform/ProgramFolder.h"
#include "platform/QtDialogs.h"
#include "platform/QtEventLoop.h"
#include "platform/QtHelp.h"
#include "platform/QtTrayShell.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "platform/TerminationSignals.h"
#include "platform/X11Windows.h"
#include "platform/XdgRegistry.h"
#include "ras/LineService.h"
#include "shell/SplashScreen.h"

namespace {

bool haveDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    // First of all: a termination signal at any moment of the start ends the
    // program the normal way, once it can.
    obu::TerminationSignals::catchEarly();
    obu::Options options;
    if (const int exit = obu::parseOptions(argc, argv, options); exit >= 0) return exit;
    if (options.autostart) {
        QString message;
        const bool done = obu::setAutostart(
            *options.autostart, obu::executableFolder() + QStringLiteral("obu"), message);
        std::fprintf(done ? stdout : stderr, "%s%s\n", done ? "" : "obu: ", qPrintable(message));
        return done ? 0 : 1;
    }
    bool headless = options.headless;
    if (!headless && !options.platformChosen && !haveDisplay() &&
        qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen")) {
        std::fputs("obu: no display found; running headless (see obu --help)\n", stderr);
        headless = true;
    }
    if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("obu"));

    const QString folder = obu::executableFolder();
    const obu::DataFolders dataFolders = obu::dataFolders(folder);
    // The lock guards the log and the settings, so it lives with them.
    obu::SingleInstance instance(dataFolders.log);
    const auto claim = instance.acquire();
    if (claim == obu::SingleInstance::Claim::Unguarded) {
        std::fprintf(stderr, "obu: %s; running without the guard against a second copy\n",
                     qPrintable(instance.unguardedReason()));
    } else if (claim == obu::SingleInstance::Claim::HeldByAnother) {
        if (instance.signalRunningCopy()) {
            std::puts(
                "Obu Linekeeper is already running with these settings; its window was brought "
                "forward.");
            return 0;
        }
        std::fprintf(stderr, "obu: another copy holds %s but does not answer\n",
                     qPrintable(instance.lockPath()));
        return 1;
    }

    obu::SystemClock clock;
    obu::QtEventLoop loop;
    std::unique_ptr<obu::Dialogs> dialogs;
    if (headless)
        dialogs = std::make_unique<obu::HeadlessDialogs>();
    else
        dialogs = std::make_unique<obu::QtDialogs>();
    obu::Dispatcher dispatcher(*dialogs, QStringLiteral("OBU v1.3"));
    loop.setDispatcher(&dispatcher);
    obu::IniFileProfile profile;
    obu::Formats formats;
    obu::LineService lines(clock, loop);
    obu::LineModemCheck modemCheck(lines, lines.paths().lockDir);
    // Headless, nobody could see a tray icon: no need to say that there is no tray.
    obu::QtTrayShell tray(loop, headless
                                    ? std::function<void(const QString&)>([](const QString&) {})
                                    : std::function<void(const QString&)>());

    // Sounds and tunes by bare name from the program's folder.
    obu::SdlSound sound(folder);
    obu::XdgRegistry registry;
    obu::PosixShell shell;
    obu::X11Windows windows;
    obu::QtHelp help;

    obu::Platform platform;
    platform.clock = &clock;
    platform.loop = &loop;
    platform.dialogs = dialogs.get();
    platform.dispatcher = &dispatcher;
    platform.profile = &profile;
    platform.formats = &formats;
    platform.dialUp = &lines;
    platform.modemCheck = &modemCheck;
    platform.tray = &tray;
    platform.sound = &sound;
    platform.registry = &registry;
    platform.shell = &shell;
    platform.windows = &windows;
    platform.help = &help;
    platform.programFolder = folder;
    platform.settingsFolder = dataFolders.settings;
    platform.logFolder = dataFolders.log;
    if (headless) {
        platform.logEcho = [](const QString& line) {
            std::puts(line.toLocal8Bit().constData());
            std::fflush(stdout);
        };
    }

    // A termination request that comes before or while the windows are being
    // made (a box at start runs the loop) is kept: once they exist, the
    // program closes the normal way.
    std::unique_ptr<obu::Program> program;
    const auto closeProgram = [&program] {
        if (program && !program->application().Terminated()) program->splashScreen->Close();
    };
    obu::TerminationSignals terminationSignals(closeProgram);
    program = std::make_unique<obu::Program>(platform);
    program->application().setOnTerminate([] { QCoreApplication::quit(); });
    if (obu::TerminationSignals::requested()) closeProgram();
    instance.listen([&program] {
        obu::MainWindow* main = program->mainWindow;
        main->setWindowState(obu::TWindowState::wsNormal);
        main->BringToFront();
    });

    if (!program->application().Terminated()) QApplication::exec();
    program.reset();
    return 0;
}
