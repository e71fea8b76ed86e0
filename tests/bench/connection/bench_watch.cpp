// The real program (real clock, real Qt loop, the real dial-up service) with a
// connection up: how much of a core the drop watch costs while nothing
// happens, and how long a drop from the provider's side takes to bring up the
// "Reconnect" window. OBU_BENCH_WATCH_SECONDS shortens the watch (default 60).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "connection/ModemCheck.h"
#include "connection/ReconnectCountdown.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/HeadlessDialogs.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "ras/LineService.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingTrayShell.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the loop, sleeping between events, until the condition holds or the
// time is up; the condition is looked at every millisecond.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Runs the loop for a while with nothing else to do.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int watchSeconds = qEnvironmentVariableIsSet("OBU_BENCH_WATCH_SECONDS")
                                 ? qEnvironmentVariableIntValue("OBU_BENCH_WATCH_SECONDS")
                                 : 60;
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    write(folder + "phonebook.pbk",
          "[Fast ISP]\nPortDelay=20\nDialDelay=50\nAuthDelay=20\nProjectDelay=20\n");
    write(folder + "obu.ini", "[Connection]\r\nName=Fast ISP\r\nAutoConnect=1\r\n");

    obu::SystemClock clock;
    obu::QtEventLoop loop;
    obu::HeadlessDialogs dialogs;
    obu::Dispatcher dispatcher(dialogs, QStringLiteral("OBU v1.3"));
    loop.setDispatcher(&dispatcher);
    obu::IniFileProfile profile;
    obu::Formats formats;
    // The line is held by the modem emulator, a process of its own, as in the real program.
    obu::LineService::Paths paths{folder + "phonebook.pbk", folder + "lines"};
    paths.lockDir = folder + "lock";
    paths.modemProgram = OBU_MODEM_PROGRAM;
    obu::LineService lines(clock, loop, paths);
    // The provider's side: another handle on the same registry folder.
    obu::LineService provider(clock, loop, paths);
    obu::LineModemCheck modemCheck(lines, folder + "lock");
    obu::test::RecordingTrayShell tray(loop);
    obu::test::FakeRegistry registry;
    obu::test::RecordingShell shell;
    obu::test::FakeWindows windows;
    obu::Platform platform;
    platform.clock = &clock;
    platform.loop = &loop;
    platform.dialogs = &dialogs;
    platform.dispatcher = &dispatcher;
    platform.profile = &profile;
    platform.formats = &formats;
    platform.ras = &lines;
    platform.modemCheck = &modemCheck;
    platform.tray = &tray;
    platform.registry = &registry;
    platform.shell = &shell;
    platform.windows = &windows;
    platform.programFolder = folder;

    auto program = std::make_unique<obu::Program>(platform);
    obu::MainWindow& main = *program->mainWindow;
    obu::ReconnectCountdown& reconnect = *program->reconnectCountdown;
    // Up, and found by the drop watch: the watch holds the connection's own handle.
    auto connected = [&] {
        return main.m_dropWatch.enabled() && main.dialer->ConnectionHandle() != 0 &&
               main.DetectedConnection == main.dialer->ConnectionHandle();
    };
    if (!pumpUntil(connected, 30000)) {
        std::fprintf(stderr, "bench_watch: the connection did not come up\n");
        return 1;
    }

    std::printf("Watching a connection with the real program (drop watch every 10 ms)\n");
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    idle(watchSeconds * 1000);
    const double share = (cpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0) * 100.0;
    std::printf("idle share of one core over %d s: %.3f %%   (goal under 0.5 %%)\n", watchSeconds,
                share);

    std::vector<double> delays;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer drop;
        drop.start();
        if (const auto error = provider.dropLine(main.DetectedConnection)) {
            std::fprintf(stderr, "bench_watch: the provider could not drop the line (%u %s)\n",
                         error, qPrintable(provider.problem()));
            return 1;
        }
        if (!pumpUntil([&] { return reconnect.isVisible(); }, 10000)) {
            std::fprintf(stderr, "bench_watch: no Reconnect window after a drop\n");
            return 1;
        }
        delays.push_back(drop.nsecsElapsed() / 1e6);
        reconnect.cancelButton->click();
        main.Image10Click(&main);
        if (!pumpUntil(connected, 30000)) {
            std::fprintf(stderr, "bench_watch: the connection did not come up again\n");
            return 1;
        }
    }
    std::sort(delays.begin(), delays.end());
    std::printf(
        "drop to Reconnect window over %zu drops: min %.2f ms, median %.2f ms, max %.2f ms   (goal "
        "under 50 ms)\n",
        delays.size(), delays.front(), delays[delays.size() / 2], delays.back());
    const bool met = share < 0.5 && delays.back() < 50.0;
    std::printf("goals: %s\n", met ? "met" : "not met");
    program.reset();
    return 0;
}
