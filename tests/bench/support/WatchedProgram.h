#pragma once
// The real program on the program's own backends, with nothing of the user's
// desktop (no tray icon, no programs or pages started, no windows minimized,
// the log not echoed), as the watch benchmarks run it: waiting for its
// connection and timing how soon a drop brings up the "Reconnect" window.
#include <QElapsedTimer>
#include <QPushButton>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "gui/connection/ReconnectCountdown.h"
#include "gui/main/Program.h"
#include "model/LineKeeper.h"
#include "platform/Platform.h"
#include "tests/bench/support/WatchMeasures.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingTrayShell.h"

namespace obu::bench {

class WatchedProgram {
public:
    WatchedProgram(const char* benchName, Platform& platform)
        : m_name(benchName), m_tray(*platform.loop) {
        platform.tray = &m_tray;
        platform.registry = &m_registry;
        platform.shell = &m_shell;
        platform.windows = &m_windows;
        platform.logEcho = nullptr;
        m_program = std::make_unique<Program>(platform);
    }
    // The program goes before the doubles it uses.
    ~WatchedProgram() { m_program.reset(); }

    LineKeeper& keeper() { return m_program->lineKeeper(); }

    // Up, and found by the drop watch: the watch holds the connection's own handle.
    bool connected() {
        LineKeeper& k = keeper();
        return k.watchingForDrop() && k.keptCall() && k.keptCall()->isUp();
    }

    // Waits for the connection; says on stderr when it does not come up.
    bool waitUntilConnected(const char* when = "") {
        if (pumpUntil([this] { return connected(); }, 30000)) return true;
        std::fprintf(stderr, "%s: the connection did not come up%s\n", m_name, when);
        return false;
    }

    // Drops the line `rounds` times: the delay from each drop() to the
    // Reconnect window goes to `delays`, `afterShown` (given that delay) may
    // look at more, then the count is cancelled and the line dialled again.
    // False, said on stderr, when something does not happen.
    bool timeDrops(int rounds, const std::function<bool()>& drop, std::vector<double>& delays,
                   const std::function<bool(double)>& afterShown = {}) {
        ReconnectCountdown& reconnect = *m_program->reconnectCountdown;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer since;
            since.start();
            if (!drop()) return false;
            if (!pumpUntil([&] { return reconnect.isVisible(); }, 10000)) {
                std::fprintf(stderr, "%s: no Reconnect window after a drop\n", m_name);
                return false;
            }
            delays.push_back(static_cast<double>(since.nsecsElapsed()) / 1e6);
            if (afterShown && !afterShown(delays.back())) return false;
            reconnect.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            keeper().toggleConnection();
            if (!waitUntilConnected(" again")) return false;
        }
        return true;
    }

private:
    const char* m_name;
    test::RecordingTrayShell m_tray;
    test::FakeRegistry m_registry;
    test::RecordingShell m_shell;
    test::FakeWindows m_windows;
    std::unique_ptr<Program> m_program;
};

}  // namespace obu::bench
