#pragma once
#include <sys/types.h>
#include <optional>

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <functional>

namespace obu {

// A process named by its id and its start time, so that a process id reused
// by the system after the process ended never passes for it.
struct ProcessId {
    std::int64_t pid = 0;
    std::uint64_t start = 0;  // clock ticks since boot; 0 when unknown
    explicit operator bool() const { return pid > 0; }
};

// Start time of a process in clock ticks since boot; 0 when it does not exist.
std::uint64_t processStartTime(std::int64_t pid);
// Whether the process still runs: it exists, has the same start time (when
// one is known), and is not a zombie waiting for its parent.
bool processAlive(const ProcessId& process);
ProcessId processIdOf(std::int64_t pid);

// A program started with some descriptors of ours. Descriptors are given as
// (ours, theirs): theirs is the number the program sees. Everything else is
// closed in the program. Returns the pid, or -1 with errno set.
struct SpawnOptions {
    QList<QByteArray> arguments;  // the first is the program (a path)
    QList<QPair<int, int>> descriptors;
    bool newSession = false;  // out of our terminal's signals (Ctrl-C)
    // The program is not our child: it is handed to init at once, so it needs
    // no reaping by us and outlives us without ever becoming our zombie.
    bool detached = false;
    // Called here with the program's pid while it waits to run (it runs once
    // this returns), so that something may be prepared in its name first: a
    // lock that names it. False stops it before it runs. Not for detached.
    std::function<bool(pid_t)> beforeExec;
};
pid_t spawnProcess(const SpawnOptions& options);

// Collects our child's exit without blocking: true when it has ended, with
// status as waitpid gives it.
bool reapChild(pid_t pid, int* status);

}  // namespace obu

namespace obu {
// Children that carry on without anyone waiting for them (pppd holding a
// line, one told to end): reapAdopted() collects those that have ended.
void adoptChild(pid_t pid);
void reapAdopted();
// The exit code of an adopted child that has ended (collected here if need
// be): nullopt while it runs, when a signal ended it, or for a process that
// is no adopted child of this one.
std::optional<int> adoptedChildExit(pid_t pid);
}  // namespace obu
