// The real program (real clock, real Qt loop, the real dial-up service with
// the phone book and NetworkManager) keeping a connection of a real
// NetworkManager, run by bench_nm_watch inside its sandbox: how much of a core
// watching the connection costs while nothing happens, and how long
// `nmcli connection down` takes to bring up the "Reconnect" window.
// OBU_BENCH_PROFILE names the profile; OBU_BENCH_WATCH_SECONDS shortens the
// watch (default 30).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/LinuxPlatform.h"
#include "connection/ReconnectCountdown.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "dialup/networkmanager/NetworkManagerClient.h"
#include "platform/Platform.h"
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

// Runs the loop until the condition holds or the time is up; the condition is
// looked at every millisecond.
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

// The share of one core that the process used while its loop had nothing
// else to do, in percent.
double idleShare(int seconds) {
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0) * 100.0;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

void printDelays(const char* what, std::vector<double> delays, const char* goal) {
    std::sort(delays.begin(), delays.end());
    std::printf("%s over %zu drops: min %.2f ms, median %.2f ms, max %.2f ms   (%s)\n", what,
                delays.size(), delays.front(), delays[delays.size() / 2], delays.back(), goal);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString profileName = qEnvironmentVariable("OBU_BENCH_PROFILE");
    const int watchSeconds = qEnvironmentVariableIsSet("OBU_BENCH_WATCH_SECONDS")
                                 ? qEnvironmentVariableIntValue("OBU_BENCH_WATCH_SECONDS")
                                 : 30;
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    write(folder + "obu.ini",
          "[Connection]\r\nName=" + profileName.toLatin1() + "\r\nAutoConnect=1\r\n");

    obu::LineService::Paths paths{folder + "phonebook.pbk", folder + "lines"};
    paths.lockDir = folder + "lock";
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // The program's own backends, NetworkManager's first answers awaited.
    obu::LinuxPlatform backends({folder, {folder, folder}, true, paths});
    obu::Platform& platform = backends.platform();
    if (!backends.networkManager().isSettled()) {
        std::fprintf(stderr, "bench_nm_watch: NetworkManager did not answer\n");
        return 1;
    }
    // Nothing of the user's desktop: no tray icon, no programs or pages
    // started, no windows minimized, and the log not echoed.
    obu::test::RecordingTrayShell tray(*platform.loop);
    obu::test::FakeRegistry registry;
    obu::test::RecordingShell shell;
    obu::test::FakeWindows windows;
    platform.tray = &tray;
    platform.registry = &registry;
    platform.shell = &shell;
    platform.windows = &windows;
    platform.logEcho = nullptr;

    auto program = std::make_unique<obu::Program>(platform);
    obu::MainWindow& main = *program->mainWindow;
    obu::ReconnectCountdown& reconnect = *program->reconnectCountdown;
    auto connected = [&] {
        return main.dropWatch().enabled() && main.m_call->callId() != 0 &&
               main.DetectedConnection == main.m_call->callId();
    };
    if (!pumpUntil(connected, 30000)) {
        std::fprintf(stderr, "bench_nm_watch: the connection did not come up\n");
        return 1;
    }

    std::printf("Watching a NetworkManager connection with the real program\n");
    const double share = idleShare(watchSeconds);
    std::printf("idle share of one core over %d s: %.3f %%   (goal under 0.2 %%)\n", watchSeconds,
                share);

    // Another client on the bus tells when NetworkManager announced the end:
    // the program hears the same signal in the same turn of its loop.
    obu::NetworkManagerClient listener;
    QElapsedTimer since;
    std::optional<double> signalledAt;
    QObject::connect(
        &listener, &obu::NetworkManagerClient::activeConnectionChanged, &listener,
        [&](const obu::NmActiveConnection& c) {
            if (c.id == profileName && c.state >= obu::NmActiveState::Deactivating && !signalledAt)
                signalledAt = since.nsecsElapsed() / 1e6;
        });
    pumpUntil([&] { return listener.isSettled(); }, 30000);

    std::vector<double> fromCommand;
    std::vector<double> fromSignal;
    for (int round = 0; round < 5; ++round) {
        signalledAt.reset();
        QProcess nmcli;
        since.start();
        nmcli.start(QStringLiteral("nmcli"),
                    {QStringLiteral("connection"), QStringLiteral("down"), profileName});
        if (!pumpUntil([&] { return reconnect.isVisible(); }, 10000)) {
            std::fprintf(stderr,
                         "bench_nm_watch: no Reconnect window after nmcli connection down\n");
            return 1;
        }
        const double shown = since.nsecsElapsed() / 1e6;
        nmcli.waitForFinished();
        fromCommand.push_back(shown);
        if (!pumpUntil([&] { return signalledAt.has_value(); }, 10000)) {
            std::fprintf(stderr, "bench_nm_watch: the listener never heard of the end\n");
            return 1;
        }
        fromSignal.push_back(std::max(0.0, shown - *signalledAt));
        reconnect.cancelButton->click();
        main.toggleConnection();
        if (!pumpUntil(connected, 30000)) {
            std::fprintf(stderr, "bench_nm_watch: the connection did not come up again\n");
            return 1;
        }
    }
    printDelays("nmcli connection down to Reconnect window", fromCommand,
                "goal under 50 ms, nmcli's own start included");
    printDelays("NetworkManager's signal to Reconnect window", fromSignal,
                "the program's own part of it");
    const bool met =
        share < 0.2 && *std::max_element(fromCommand.begin(), fromCommand.end()) < 50.0;
    std::printf("goals: %s\n", met ? "met" : "not met");
    program.reset();
    return 0;
}
