// The drop watch asks the service for the established connections and the
// status of the first one, up to twice per tick and up to 100 ticks a second,
// for as long as a connection is up. This measures that pair against the real
// service and a real registry folder, and prints the share of a core it costs.
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "dialup/modem/Processes.h"
#include "dialup/phonebook/LineService.h"
#include "platform/SystemClock.h"
#include "tests/support/VirtualTime.h"

namespace {

using namespace obu;
using Clock = std::chrono::steady_clock;

// One pair as the drop watch makes it.
bool pair(DialUpService& service) {
    QList<CallInfo> calls;
    if (service.calls(&calls) != 0 || calls.isEmpty()) return false;
    CallInfo status;
    return service.callStatus(calls[0].id, &status) == 0 && status.state == CallState::Connected;
}

double nanosecondsPerPair(DialUpService& service) {
    for (int i = 0; i < 1000; ++i) pair(service);  // warm up
    long long pairs = 0;
    const auto start = Clock::now();
    auto now = start;
    while (now - start < std::chrono::milliseconds(700)) {
        for (int i = 0; i < 1000; ++i)
            if (!pair(service)) {
                std::fprintf(stderr, "bench_ras: the connection is not listed\n");
                std::exit(1);
            }
        pairs += 1000;
        now = Clock::now();
    }
    return std::chrono::duration<double, std::nano>(now - start).count() /
           static_cast<double>(pairs);
}

void report(const char* what, double ns) {
    // 2 pairs a tick, 100 ticks a second.
    const double share = ns * 200.0 / 1e9 * 100.0;
    std::printf("%-58s %8.3f us a pair   %7.4f %% of a core\n", what, ns / 1000.0, share);
}

bool connect(LineService& service, test::VirtualTime& loop, const char* entry) {
    DialRequest request;
    request.entry = QString::fromLatin1(entry);
    CallId handle = 0;
    if (service.dial(request, &handle) != 0) return false;
    return loop.advanceUntil(
        [&] {
            CallInfo status;
            return service.callStatus(handle, &status) == 0 && status.state == CallState::Connected;
        },
        10000);
}

// A line held by a process of its own, as pppd or the modem emulator holds
// one: here this very process, which stays alive for the whole measurement.
class HeldLine : public LineDevice {
public:
    void dial(const LineRequest&, Report report) override { report(CallState::Connected, 0); }
    void hangUp() override {}
    LineHolder holder() const override {
        LineHolder h;
        h.pid = ::getpid();
        h.start = processStartTime(::getpid());
        h.kind = "emulator";
        return h;
    }
};

}  // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const QString book = dir.filePath("phonebook.pbk");
    {
        QFile f(book);
        f.open(QIODevice::WriteOnly);
        f.write(
            "[Steady]\nDialDelay=10\nAuthDelay=10\n"
            "[Dropping]\nDevice=Second Modem\nDialDelay=10\nAuthDelay=10\nDropAfter=86400\n");
    }
    SystemClock clock;
    test::VirtualTime loop;
    LineService service(clock, loop, {book, dir.filePath("lines")});
    service.setDeviceFactory(service.simulatedModemFactory());
    if (!connect(service, loop, "Steady")) {
        std::fprintf(stderr, "bench_ras: cannot connect: %s\n", qPrintable(service.problem()));
        return 1;
    }
    std::printf("calls() + callStatus(), goal under 5 us a pair\n");
    std::printf("(share of a core for 2 pairs a tick at 100 ticks a second)\n\n");
    report("one connection up", nanosecondsPerPair(service));
    // A second connection with a provider deadline makes every call read the clock.
    if (!connect(service, loop, "Dropping")) return 1;
    report("two connections up, one with a drop deadline", nanosecondsPerPair(service));
    // A connection held by a process: its holder is looked at five times a second.
    LineService held(clock, loop, {book, dir.filePath("held-lines")});
    held.setDeviceFactory([](const PhoneBookEntry&) { return std::make_unique<HeldLine>(); });
    if (!connect(held, loop, "Steady")) return 1;
    report("one connection held by a process (pppd, the emulator)", nanosecondsPerPair(held));
    return 0;
}
