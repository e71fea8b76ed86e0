// Obu Linekeeper with its windows: started by obu (app/main.cpp), in its
// place, when there is a display to show them on.
#include <QApplication>
#include <cstdio>
#include <memory>

#include <sys/prctl.h>

#include "app/DesktopPlatform.h"
#include "app/KeeperBus.h"
#include "app/Options.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/SplashScreen.h"
#include "platform/DataFolders.h"
#include "platform/Dispatcher.h"
#include "platform/HomeFolder.h"
#include "platform/OpenFileLimit.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationSignals.h"

namespace {

// The windows, until the program is closed: settings saved, the close logged.
int showWindows(obu::SingleInstance& instance, const obu::LinuxPlatform::Options& where) {
    obu::DesktopPlatform backends(where);
    obu::Platform& platform = backends.platform();

    // A termination request that comes before or while the windows are being
    // made (a box at start runs the loop) is kept: once they exist, the
    // program closes the normal way.
    std::unique_ptr<obu::Program> program;
    obu::logHiddenEntries(
        backends.backends().dialUp(),
        [&program, &platform](const QString& line) {
            if (program) platform.dispatcher->run([&] { program->mainWindow->writeLogLine(line); });
        },
        *QCoreApplication::instance());
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

    auto bus = obu::offerOnSessionBus(program->lineKeeper(), program->alarmClock());

    if (!program->application().quitting()) QApplication::exec();
    bus.reset();
    program.reset();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // First of all: a termination signal at any moment of the start ends the
    // program the normal way, once it can.
    obu::TerminationSignals::catchEarly();
    // The process that obu was: ps, top and the journal go on calling it so.
    ::prctl(PR_SET_NAME, "obu");
    obu::raiseOpenFileLimit();
    obu::Options options;
    if (const int exit = obu::parseOptions(argc, argv, options); exit >= 0) return exit;
    if (const QString problem = obu::settleHomeFolder(); !problem.isEmpty())
        std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
    if (obu::runsHeadless(options)) {
        std::fputs("obu: the windows need a display; obu --headless keeps the line without them\n",
                   stderr);
        return 1;
    }

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
    if (const int exit = obu::claimOrExit(instance, false); exit >= 0) return exit;

    return showWindows(instance, {folder, dataFolders, false});
}
