// The dial-up window minimizer while no such window comes: its share of a
// core in the program and in the X server when it watches the window list
// (as the program does), beside an idle Qt loop (the baseline) and beside a
// search every 10 ms (the polling it replaced). OBU_BENCH_MINIMIZER_SECONDS
// sets each phase's length (default 2). Prints figures; never fails.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

#include <unistd.h>

#include "platform/X11Windows.h"
#include "tests/bench/startup/XServer.h"

namespace {

double ownProcessorSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Share {
    double program = 0;  // per cent of a core
    double server = 0;
    int looks = 0;
};

// Runs the loop for `ms` around `start` / `stop` and measures both processes.
Share measure(pid_t server, int ms, const std::function<void(int&)>& start,
              const std::function<void()>& stop) {
    Share share;
    QElapsedTimer clock;
    const double program0 = ownProcessorSeconds();
    const double server0 = obu::bench::processorSeconds(server);
    clock.start();
    start(share.looks);
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    stop();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    share.program = (ownProcessorSeconds() - program0) / seconds * 100;
    share.server = (obu::bench::processorSeconds(server) - server0) / seconds * 100;
    return share;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds =
        qEnvironmentVariableIsSet("OBU_BENCH_MINIMIZER_SECONDS")
            ? std::max(1, qEnvironmentVariableIntValue("OBU_BENCH_MINIMIZER_SECONDS"))
            : 2;
    obu::bench::XServer x;
    if (!x.ok()) {
        std::printf("bench_minimizer: skipped, no Xvfb could be started\n");
        return 0;
    }
    qputenv("DISPLAY", x.name().toLatin1());
    obu::X11Windows windows;
    const QString title = QStringLiteral("Connected to Demo ISP");
    windows.findWindowTitled(title);  // connects, as the first tick does

    const Share idle = measure(
        x.pid(), seconds * 1000, [](int&) {}, [] {});
    const Share watching = measure(
        x.pid(), seconds * 1000,
        [&](int& looks) {
            windows.watch([&] {
                ++looks;
                windows.findWindowTitled(title);
            });
            windows.findWindowTitled(title);
        },
        [&] { windows.unwatch(); });
    QTimer poll;
    poll.setInterval(10);
    const Share polling = measure(
        x.pid(), seconds * 1000,
        [&](int& looks) {
            QObject::connect(&poll, &QTimer::timeout, [&] {
                ++looks;
                windows.findWindowTitled(title);
            });
            poll.start();
        },
        [&] { poll.stop(); });

    std::printf(
        "bench_minimizer: share of a core over %d s with no dial-up window coming (goal: under 0.1 "
        "%%)\n",
        seconds);
    std::printf("  %-24s program %6.3f %%  X server %6.3f %%  searches %d\n",
                "idle Qt loop (baseline)", idle.program, idle.server, idle.looks);
    std::printf(
        "  %-24s program %6.3f %%  X server %6.3f %%  searches %d  (program %+.3f points over the "
        "baseline)\n",
        "watching the list", watching.program, watching.server, watching.looks,
        watching.program - idle.program);
    std::printf(
        "  %-24s program %6.3f %%  X server %6.3f %%  searches %d  (ratio to watching %.0f)\n",
        "searching every 10 ms", polling.program, polling.server, polling.looks,
        watching.program > 0 ? polling.program / watching.program : 0.0);
    return 0;
}
