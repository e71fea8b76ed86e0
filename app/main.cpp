// Obu Linekeeper: looks after one dial-up connection. This program keeps the
// line without windows, on Qt Core and Qt D-Bus alone; with a display it
// becomes the windowed program (obu-windows, beside it) before anything else.
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

#include "app/HeadlessKeeper.h"
#include "app/KeeperBus.h"
#include "app/LinuxPlatform.h"
#include "app/Options.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "model/EventLog.h"
#include "platform/DataFolders.h"
#include "platform/Dispatcher.h"
#include "platform/HomeFolder.h"
#include "platform/OpenFileLimit.h"
#include "platform/ProgramFolder.h"
#include "platform/SecretService.h"
#include "platform/TerminationSignals.h"

namespace {

// The windowed program in this process's place, with the same arguments, so
// the process keeps its id, its name and its window class. Only returns when
// it could not be started (said on standard error).
int becomeWindowedProgram(char** argv) {
    const QByteArray path = (obu::executableFolder() + QStringLiteral("obu-windows")).toLocal8Bit();
    ::execv(path.constData(), argv);
    std::fprintf(stderr,
                 "obu: cannot start the windows (%s): %s; obu --headless runs without them\n",
                 path.constData(), std::strerror(errno));
    return 1;
}

// The keeper, until a termination signal ends it: settings saved, the close
// logged.
int keepLine(QCoreApplication& app, obu::SingleInstance& instance,
             const obu::LinuxPlatform::Options& where) {
    obu::LinuxPlatform backends(where);
    obu::Platform& platform = backends.platform();
    std::unique_ptr<obu::HeadlessKeeper> keeper;
    obu::logHiddenEntries(
        backends.dialUp(),
        [&keeper, &platform](const QString& line) {
            if (keeper) platform.dispatcher->run([&] { keeper->eventLog().writeLine(line); });
        },
        app);
    // A request that comes while the keeper starts (a box at start) is kept
    // until it has started.
    bool ending = false;
    const auto end = [&ending] {
        ending = true;
        QCoreApplication::quit();
    };
    obu::TerminationSignals terminationSignals(end);
    keeper = std::make_unique<obu::HeadlessKeeper>(platform);
    if (obu::TerminationSignals::requested()) ending = true;
    // No window to bring forward: a later start is answered, and ends.
    if (!instance.listen([] {}))
        std::fprintf(stderr, "obu: %s; a later start cannot bring this copy forward\n",
                     qPrintable(instance.listenProblem()));
    auto bus = obu::offerOnSessionBus(keeper->lineKeeper(), keeper->alarmClock());
    if (!ending) QCoreApplication::exec();
    bus.reset();
    keeper.reset();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    obu::Options options;
    if (const int exit = obu::parseOptions(argc, argv, options); exit >= 0) return exit;
    // Before any lock or socket is taken, the windowed program takes its own;
    // and before the termination signals are caught, so one that is waiting,
    // blocked by the parent, waits for the windowed program's own catch.
    if (!options.autostart && !obu::runsHeadless(options)) return becomeWindowedProgram(argv);
    // From here on, a termination signal at any moment of the start ends the
    // program the normal way, once it can.
    obu::TerminationSignals::catchEarly();
    obu::raiseOpenFileLimit();
    if (const QString problem = obu::settleHomeFolder(); !problem.isEmpty())
        std::fprintf(stderr, "obu: %s\n", qPrintable(problem));
    if (options.autostart) return obu::setAutostartAndExit(*options.autostart);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("obu"));
    const QString folder = obu::executableFolder();
    const obu::DataFolders dataFolders = obu::dataFolders(folder);
    if (dataFolders.settings.isEmpty()) {
        std::fprintf(stderr, "obu: no folder for the settings and the log of %s\n",
                     qPrintable(folder));
        return 1;
    }
    // The lock guards the log and the settings, so it lives with them.
    obu::SingleInstance instance(dataFolders.log);
    if (const int exit = obu::claimOrExit(instance, options.writesSettings()); exit >= 0)
        return exit;
    if (const int exit = obu::writeSettings(options, dataFolders); exit >= 0) return exit;
    return keepLine(app, instance, {folder, dataFolders, true});
}
