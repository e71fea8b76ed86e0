// The real program (real clock, real Qt loop, its sound, the real dial-up
// service with the modem emulator holding the line) with a connection up: how
// much of a core the drop watch costs while nothing happens, with and without
// a hundred other dials in the registry, and how long a drop takes to bring up
// the "Reconnect" window, through the registry and at the modem.
// OBU_BENCH_WATCH_SECONDS shortens each watch (default 30).
#include <signal.h>

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/LinuxPlatform.h"
#include "dialup/modem/Processes.h"
#include "dialup/phonebook/LineService.h"
#include "platform/Clock.h"
#include "tests/bench/support/WatchMeasures.h"
#include "tests/bench/support/WatchedProgram.h"

using obu::bench::idleShare;
using obu::bench::printDelays;
using obu::bench::pumpUntil;

namespace {

constexpr const char* kName = "bench_watch";

// A hundred dials of another process in the registry, listed after ours:
// `other` is that process.
void addOtherDials(obu::ConnectionRegistry& records, obu::Clock& clock, std::int64_t other) {
    for (int i = 0; i < 100; ++i) {
        obu::LineRecord record;
        record.entry = "Other ISP";
        record.device = "Other Modem " + QByteArray::number(i);
        record.state = obu::CallState::ConnectDevice;
        const obu::CallId handle = records.add(record);
        records.modify(handle, [&](obu::LineRecord& r) {
            r.owner = other;
            r.ownerStart = obu::processStartTime(other);
            r.startedAt = clock.now().toMSecsSinceEpoch() + 3600 * 1000ll;
            return true;
        });
    }
}

// The idle share with those hundred dials of a sleeping process listed.
double crowdedIdleShare(const obu::LineService::Paths& paths, obu::Clock& clock, int seconds) {
    QProcess other;
    other.start(QStringLiteral("sleep"), {QStringLiteral("3600")});
    if (!other.waitForStarted()) {
        std::fprintf(stderr, "%s: cannot start another process\n", kName);
        return -1;
    }
    obu::ConnectionRegistry records(paths.linesDir, clock);
    addOtherDials(records, clock, other.processId());
    pumpUntil([] { return false; }, 200);
    const double share = idleShare(seconds);
    other.kill();
    other.waitForFinished();
    return share;
}

// Five drops through the registry, as obu-line drop makes them (only the
// folder tells this process), then five losses of the line at the modem (the
// emulator's far end hangs up: NO CARRIER on the held line).
bool timeDrops(obu::bench::WatchedProgram& program, obu::LineService& provider,
               obu::LineService& lines, std::vector<double>& registryDelays,
               std::vector<double>& modemDelays) {
    obu::LineKeeper& keeper = program.keeper();
    auto dropThroughRegistry = [&] {
        if (const auto error = provider.dropLine(keeper.keptCall()->id())) {
            std::fprintf(stderr, "%s: the provider could not drop the line (%u %s)\n", kName, error,
                         qPrintable(provider.problem()));
            return false;
        }
        return true;
    };
    auto loseAtModem = [&] {
        obu::LineRecord record;
        if (!lines.record(keeper.keptCall()->id(), &record) || record.holder <= 0 ||
            ::kill(static_cast<pid_t>(record.holder), SIGUSR1) != 0) {
            std::fprintf(stderr, "%s: no modem emulator holds the line\n", kName);
            return false;
        }
        return true;
    };
    return program.timeDrops(5, dropThroughRegistry, registryDelays) &&
           program.timeDrops(5, loseAtModem, modemDelays);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int watchSeconds = obu::bench::watchSeconds();
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    obu::bench::writeFile(
        folder + "phonebook.pbk",
        "[Fast ISP]\nPortDelay=20\nDialDelay=50\nAuthDelay=20\nProjectDelay=20\n");
    obu::bench::writeFile(folder + "obu.ini", "[Connection]\r\nName=Fast ISP\r\nAutoConnect=1\r\n");

    // The line is held by the modem emulator, a process of its own, as in the real program.
    obu::LineService::Paths paths{folder + "phonebook.pbk", folder + "lines"};
    paths.lockDir = folder + "lock";
    paths.modemProgram = OBU_MODEM_PROGRAM;
    // The program's own sound, on SDL's own thread (silent where no device is).
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    obu::LinuxPlatform backends({folder, {folder, folder, true}, true, paths});
    obu::Clock& clock = *backends.platform().clock;
    // The provider's side: another handle on the same registry folder.
    obu::LineService provider(clock, *backends.platform().loop, paths);
    obu::bench::WatchedProgram program(kName, backends.platform());
    if (!program.waitUntilConnected()) return 1;

    std::printf("Watching a connection with the real program, its sound and the modem emulator\n");
    const double share = idleShare(watchSeconds);
    std::printf("idle share of one core over %d s: %.3f %%   (goal under 0.2 %%)\n", watchSeconds,
                share);

    std::vector<double> registryDelays;
    std::vector<double> modemDelays;
    if (!timeDrops(program, provider, backends.lines(), registryDelays, modemDelays)) return 1;
    printDelays("drop through the registry to Reconnect window", registryDelays,
                "goal under 20 ms");
    printDelays("line lost at the modem to Reconnect window", modemDelays, "goal under 20 ms");

    const double crowdedShare = crowdedIdleShare(paths, clock, watchSeconds);
    if (crowdedShare < 0) return 1;
    std::printf(
        "idle share with 100 records of another process over %d s: %.3f %%   (goal the same as "
        "without: %.3f %%)\n",
        watchSeconds, crowdedShare, share);
    const bool met = share < 0.2 &&
                     *std::max_element(registryDelays.begin(), registryDelays.end()) < 20.0 &&
                     *std::max_element(modemDelays.begin(), modemDelays.end()) < 20.0 &&
                     crowdedShare < std::max(0.2, share * 1.5);
    std::printf("goals: %s\n", met ? "met" : "not met");
    return 0;
}
