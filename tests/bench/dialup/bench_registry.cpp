// A program watching the registry (the real service on the real Qt loop, with
// a listener that lists the calls at every change and once a second, as the
// line keeper does) while 1,000 other processes dial one after another and
// then hold their connections: the watcher's processor time for all the
// dials, and its share of a core while the lines are held.
//
// The other processes are children of a helper process that writes their
// records, stage by stage, as each of them would; the watcher's own figures
// are measured in this process alone. `bench_registry N` takes N others.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "dialup/modem/Processes.h"
#include "dialup/phonebook/LineService.h"
#include "platform/OpenFileLimit.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "tests/bench/support/WatchMeasures.h"

namespace {

using namespace obu;

constexpr const char* kName = "bench_registry";
// The stages a dial writes into its record after the first, as the service does.
constexpr CallState kStages[] = {CallState::PortOpened,      CallState::ConnectDevice,
                                 CallState::DeviceConnected, CallState::AllDevicesConnected,
                                 CallState::Authenticate,    CallState::Authenticated,
                                 CallState::Projected,       CallState::Connected};
constexpr int kChangesPerDial = 2 + static_cast<int>(std::size(kStages));

// The other processes: each does nothing but exist, and ends with the helper.
std::vector<pid_t> startOthers(int count) {
    std::vector<pid_t> others;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (;;) ::pause();
        }
        if (pid > 0) others.push_back(pid);
    }
    return others;
}

// One other process dials: its record is added, handed to it, and moved
// through every stage to Connected with the process holding the line.
void dialAs(ConnectionRegistry& registry, Clock& clock, pid_t other, int i) {
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::microseconds(250)); };
    LineRecord record;
    record.entry = "Other ISP " + QByteArray::number(i);
    record.device = "Other Modem " + QByteArray::number(i);
    record.deviceType = "modem";
    record.startedAt = clock.now().toMSecsSinceEpoch();
    const CallId handle = registry.add(record);
    const std::uint64_t start = processStartTime(other);
    pause();
    registry.modify(handle, [&](LineRecord& r) {
        r.owner = other;
        r.ownerStart = start;
        return true;
    });
    for (const CallState stage : kStages) {
        pause();
        registry.modify(handle, [&](LineRecord& r) {
            r.state = stage;
            if (stage == CallState::Connected) {
                r.connectedAt = clock.now().toMSecsSinceEpoch();
                r.holder = other;
                r.holderStart = start;
                r.holderKind = "emulator";
            }
            return true;
        });
    }
}

// The helper: starts the others, says so (a byte on `toWatcher`), dials for
// them when told to, says so, and ends them all when the watcher is done.
[[noreturn]] void runHelper(const QString& folder, int count, int fromWatcher, int toWatcher) {
    ::prctl(PR_SET_NAME, "bench_others");
    const std::vector<pid_t> others = startOthers(count);
    SystemClock clock;
    ConnectionRegistry registry(folder, clock);
    char byte = 1;
    (void)!::write(toWatcher, &byte, 1);
    if (::read(fromWatcher, &byte, 1) == 1) {
        for (int i = 0; i < static_cast<int>(others.size()); ++i)
            dialAs(registry, clock, others[i], i);
        (void)!::write(toWatcher, &byte, 1);
        (void)!::read(fromWatcher, &byte, 1);
    }
    for (const pid_t pid : others) ::kill(pid, SIGKILL);
    for (const pid_t pid : others) ::waitpid(pid, nullptr, 0);
    ::_exit(0);
}

struct Helper {
    pid_t pid = -1;
    int toHelper = -1;
    int fromHelper = -1;

    bool waitForByte() const {
        char byte = 0;
        return ::read(fromHelper, &byte, 1) == 1;
    }
    void tell() const {
        const char byte = 1;
        (void)!::write(toHelper, &byte, 1);
    }
    void end() {
        if (pid <= 0) return;
        ::close(toHelper);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

Helper startHelper(const QString& folder, int count) {
    int down[2];
    int up[2];
    Helper helper;
    if (::pipe(down) != 0 || ::pipe(up) != 0) return helper;
    helper.pid = ::fork();
    if (helper.pid == 0) {
        ::close(down[1]);
        ::close(up[0]);
        runHelper(folder, count, down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    helper.toHelper = down[1];
    helper.fromHelper = up[0];
    return helper;
}

// The connections that the watcher saw at its last look, and at the last
// one that a change made it take.
struct Watcher {
    LineService& service;
    int looks = 0;
    int connected = 0;
    int announced = 0;

    void look() {
        QList<CallInfo> calls;
        if (service.calls(&calls) != dialup_error::None) {
            std::fprintf(stderr, "%s: the calls cannot be listed: %s\n", kName,
                         qPrintable(service.problem()));
            return;
        }
        connected = 0;
        for (const CallInfo& call : calls) connected += call.state == CallState::Connected;
    }
    void onChange() {
        ++looks;
        look();
        announced = connected;
    }
};

// Runs the loop until a change announces `count` connections, or the deadline passes.
bool waitForConnections(Watcher& watcher, int count, int deadlineMs) {
    QEventLoop loop;
    const auto seen = QObject::connect(&watcher.service, &DialUpService::callsChanged, &loop, [&] {
        if (watcher.announced >= count) loop.quit();
    });
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    if (watcher.announced < count) loop.exec();
    QObject::disconnect(seen);
    return watcher.announced >= count;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/lines");
    // Before Qt starts a thread: the helper is a plain copy of this process.
    Helper helper = startHelper(folder, count);
    if (helper.pid < 0 || !helper.waitForByte()) {
        std::fprintf(stderr, "%s: cannot start the other processes\n", kName);
        return 1;
    }
    QCoreApplication app(argc, argv);
    raiseOpenFileLimit();
    SystemClock clock;
    QtEventLoop loop;
    LineService service(clock, loop, {dir.path() + QStringLiteral("/phonebook.pbk"), folder});
    Watcher watcher{service};
    QObject::connect(&service, &DialUpService::callsChanged, &app, [&] { watcher.onChange(); });
    QTimer safetyLook;
    QObject::connect(&safetyLook, &QTimer::timeout, &app, [&] { watcher.look(); });
    safetyLook.start(1000);

    const double cpuBefore = bench::cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    helper.tell();
    const bool allUp = waitForConnections(watcher, count, 300000);
    const double dialCpu = bench::cpuSeconds() - cpuBefore;
    const double dialWall = static_cast<double>(wall.elapsed()) / 1000.0;
    helper.waitForByte();
    if (!allUp) {
        std::fprintf(stderr, "%s: the watcher heard of %d of %d connections (and saw %d)\n", kName,
                     watcher.announced, count, watcher.connected);
        helper.end();
        return 1;
    }
    std::printf(
        "%d other processes dial one after another (%d changes of the registry in %.1f s)\n", count,
        count * kChangesPerDial, dialWall);
    std::printf(
        "watcher's processor time for all the dials: %.3f s in %d looks   (goal under 5 s)\n",
        dialCpu, watcher.looks);

    const int heldSeconds = std::max(2, std::min(5, bench::watchSeconds() / 3));
    const double heldShare = bench::idleShare(heldSeconds);
    std::printf(
        "watcher's share of a core while they hold %d connections, over %d s: %.3f %%   "
        "(goal under 0.2 %%)\n",
        watcher.connected, heldSeconds, heldShare);
    std::printf("goals: %s\n", dialCpu < 5.0 && heldShare < 0.2 ? "met" : "not met");
    helper.end();
    return 0;
}
