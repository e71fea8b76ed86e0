// The drop watch asks the service for the established connections and the
// status of the first one, up to twice per tick and up to 100 ticks a second,
// for as long as a connection is up. This measures that pair against the real
// service and a real registry folder, and prints the share of a core it costs.
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/SystemClock.h"
#include "ras/LineService.h"
#include "ras/Processes.h"
#include "tests/support/VirtualTime.h"

namespace {

using namespace obu;
using Clock = std::chrono::steady_clock;

// One pair as the drop watch makes it; freshBuffer also counts clearing the
// 41200-byte enumeration buffer that the caller makes for every call.
bool pair(RasApi& ras, std::vector<RASCONNA>& buffer, bool freshBuffer) {
    if (freshBuffer) std::memset(buffer.data(), 0, buffer.size() * sizeof(RASCONNA));
    buffer[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(RASCONNA));
    DWORD count = 0;
    if (ras.RasEnumConnectionsA(buffer.data(), &bytes, &count) != 0 || count == 0) return false;
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof status;
    return ras.RasGetConnectStatusA(buffer[0].hrasconn, &status) == 0 &&
           status.rasconnstate == RASCS_Connected;
}

double nanosecondsPerPair(RasApi& ras, bool freshBuffer) {
    std::vector<RASCONNA> buffer(100);
    for (int i = 0; i < 1000; ++i) pair(ras, buffer, freshBuffer);  // warm up
    long long pairs = 0;
    const auto start = Clock::now();
    auto now = start;
    while (now - start < std::chrono::milliseconds(700)) {
        for (int i = 0; i < 1000; ++i)
            if (!pair(ras, buffer, freshBuffer)) {
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
    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof params);
    params.dwSize = sizeof params;
    std::strcpy(params.szEntryName, entry);
    HRASCONN handle = 0;
    if (service.RasDialA(nullptr, nullptr, &params, kNotifierWindow, 0, &handle) != 0) return false;
    return loop.advanceUntil(
        [&] {
            RASCONNSTATUSA s;
            std::memset(&s, 0, sizeof s);
            s.dwSize = sizeof s;
            return service.RasGetConnectStatusA(handle, &s) == 0 &&
                   s.rasconnstate == RASCS_Connected;
        },
        10000);
}

// A line held by a process of its own, as pppd or the modem emulator holds
// one: here this very process, which stays alive for the whole measurement.
class HeldLine : public LineDevice {
public:
    void dial(const DialRequest&, Report report) override { report(RASCS_Connected, 0); }
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
    std::printf("RasEnumConnectionsA + RasGetConnectStatusA, goal under 5 us a pair\n");
    std::printf("(share of a core for 2 pairs a tick at 100 ticks a second)\n\n");
    report("one connection up", nanosecondsPerPair(service, false));
    report("one connection up, caller clears its 41200-byte buffer",
           nanosecondsPerPair(service, true));
    // A second connection with a provider deadline makes every call read the clock.
    if (!connect(service, loop, "Dropping")) return 1;
    report("two connections up, one with a drop deadline", nanosecondsPerPair(service, false));
    // A connection held by a process: its holder is looked at five times a second.
    LineService held(clock, loop, {book, dir.filePath("held-lines")});
    held.setDeviceFactory([](const PhoneBookEntry&) { return std::make_unique<HeldLine>(); });
    if (!connect(held, loop, "Steady")) return 1;
    report("one connection held by a process (pppd, the emulator)",
           nanosecondsPerPair(held, false));
    return 0;
}
