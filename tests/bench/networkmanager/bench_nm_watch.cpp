// The real program (real clock, real Qt loop, the real dial-up service with
// the phone book and NetworkManager) keeping a connection of a real
// NetworkManager, run by bench_nm_watch inside its sandbox: how much of a core
// watching the connection costs while nothing happens, and how long
// `nmcli connection down` takes to bring up the "Reconnect" window.
// OBU_BENCH_PROFILE names the profile; OBU_BENCH_WATCH_SECONDS shortens the
// watch (default 30).
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/LinuxPlatform.h"
#include "dialup/networkmanager/NetworkManagerClient.h"
#include "tests/bench/support/WatchMeasures.h"
#include "tests/bench/support/WatchedProgram.h"

using obu::bench::idleShare;
using obu::bench::printDelays;
using obu::bench::pumpUntil;

namespace {

// Five times `nmcli connection down`: how long each takes to bring up the
// Reconnect window, and how long from NetworkManager's own announcement of
// the end. Another client on the bus tells when that was: the program hears
// the same signal in the same turn of its loop.
bool timeDrops(obu::bench::WatchedProgram& program, const QString& profileName,
               std::vector<double>& fromCommand, std::vector<double>& fromSignal) {
    obu::NetworkManagerClient listener;
    QElapsedTimer since;
    std::optional<double> signalledAt;
    QObject::connect(
        &listener, &obu::NetworkManagerClient::activeConnectionChanged, &listener,
        [&](const obu::NmActiveConnection& c) {
            if (c.id == profileName && c.state >= obu::NmActiveState::Deactivating && !signalledAt)
                signalledAt = static_cast<double>(since.nsecsElapsed()) / 1e6;
        });
    pumpUntil([&] { return listener.isSettled(); }, 30000);
    QProcess nmcli;
    auto takeDown = [&] {
        signalledAt.reset();
        since.start();
        nmcli.start(QStringLiteral("nmcli"),
                    {QStringLiteral("connection"), QStringLiteral("down"), profileName});
        return true;
    };
    auto heardTheSignal = [&](double shown) {
        nmcli.waitForFinished();
        if (!pumpUntil([&] { return signalledAt.has_value(); }, 10000)) {
            std::fprintf(stderr, "bench_nm_watch: the listener never heard of the end\n");
            return false;
        }
        fromSignal.push_back(std::max(0.0, shown - *signalledAt));
        return true;
    };
    return program.timeDrops(5, takeDown, fromCommand, heardTheSignal);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString profileName = qEnvironmentVariable("OBU_BENCH_PROFILE");
    const int watchSeconds = obu::bench::watchSeconds();
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    obu::bench::writeFile(folder + "obu.ini", "[Connection]\r\nName=" + profileName.toLatin1() +
                                                  "\r\nAutoConnect=1\r\n");

    obu::LineService::Paths paths{folder + "phonebook.pbk", folder + "lines"};
    paths.lockDir = folder + "lock";
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // The program's own backends, NetworkManager's first answers awaited.
    obu::LinuxPlatform backends({folder, {folder, folder, true}, true, paths});
    if (!backends.networkManager().isSettled()) {
        std::fprintf(stderr, "bench_nm_watch: NetworkManager did not answer\n");
        return 1;
    }
    obu::bench::WatchedProgram program("bench_nm_watch", backends.platform());
    if (!program.waitUntilConnected()) return 1;

    std::printf("Watching a NetworkManager connection with the real program\n");
    const double share = idleShare(watchSeconds);
    std::printf("idle share of one core over %d s: %.3f %%   (goal under 0.2 %%)\n", watchSeconds,
                share);

    std::vector<double> fromCommand;
    std::vector<double> fromSignal;
    if (!timeDrops(program, profileName, fromCommand, fromSignal)) return 1;
    printDelays("nmcli connection down to Reconnect window", fromCommand,
                "goal under 50 ms, nmcli's own start included");
    printDelays("NetworkManager's signal to Reconnect window", fromSignal,
                "the program's own part of it");
    const bool met =
        share < 0.2 && *std::max_element(fromCommand.begin(), fromCommand.end()) < 50.0;
    std::printf("goals: %s\n", met ? "met" : "not met");
    return 0;
}
