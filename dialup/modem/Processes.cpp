#include "dialup/modem/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace obu {

namespace {

// Field 3 (the state letter) and field 22 (the start time) of /proc/PID/stat.
bool readStat(std::int64_t pid, char* state, std::uint64_t* start) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[1024];
    ssize_t n;
    do n = ::read(fd, buf, sizeof buf - 1);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) return false;
    buf[n] = 0;
    // The command name may hold blanks and parentheses: count from the last ')'.
    const char* p = std::strrchr(buf, ')');
    if (!p || p[1] != ' ') return false;
    p += 2;
    *state = *p;
    for (int field = 3; *p && field < 22; ++p)
        if (*p == ' ') ++field;
    *start = std::strtoull(p, nullptr, 10);
    return true;
}

}  // namespace

std::uint64_t processStartTime(std::int64_t pid) {
    char state = 0;
    std::uint64_t start = 0;
    return pid > 0 && readStat(pid, &state, &start) ? start : 0;
}

ProcessId processIdOf(std::int64_t pid) {
    return ProcessId{pid, processStartTime(pid)};
}

bool processAlive(const ProcessId& process) {
    if (process.pid <= 0) return false;
    char state = 0;
    std::uint64_t start = 0;
    if (!readStat(process.pid, &state, &start)) {
        // No /proc: fall back to the signal test.
        if (::access("/proc/self/stat", R_OK) == 0) return false;
        return ::kill(static_cast<pid_t>(process.pid), 0) == 0 || errno == EPERM;
    }
    if (state == 'Z' || state == 'X') return false;
    return process.start == 0 || start == process.start;
}

namespace {

// What the child needs, prepared before fork: after it, only
// async-signal-safe calls are made.
struct ChildPlan {
    std::vector<char*> argv;
    std::vector<std::pair<int, int>> descriptors;  // (ours, theirs)
    int highest = 2;                               // the greatest number among them
    int report = -1;                               // our pipe's end for a failed exec (or fork)
    int go = -1;  // our pipe's end to wait on for the go of beforeExec; -1: none
    bool newSession = false;
    bool detached = false;
};

ChildPlan planFor(const SpawnOptions& options) {
    ChildPlan plan;
    for (const QByteArray& a : options.arguments)
        plan.argv.push_back(const_cast<char*>(a.constData()));
    plan.argv.push_back(nullptr);
    for (const auto& [ours, theirs] : options.descriptors) {
        plan.descriptors.emplace_back(ours, theirs);
        plan.highest = std::max({plan.highest, ours, theirs});
    }
    plan.newSession = options.newSession;
    plan.detached = options.detached;
    return plan;
}

void closePipe(const int (&ends)[2]) {
    ::close(ends[0]);
    ::close(ends[1]);
}

void waitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// In the child: default signal handling, as the parent may ignore SIGPIPE or SIGCHLD.
void resetSignals() {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        ::signal(sig, SIG_DFL);
}

// In the child: forks the program's process and ends, telling the parent the
// real pid, so that init adopts the program. Returns in the grandchild.
void leaveToInit(int report) {
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
        const int why = errno;
        (void)!::write(report, &why, sizeof why);
        ::_exit(127);
    }
    if (grandchild > 0) {
        const int marker = -static_cast<int>(grandchild);
        (void)!::write(report, &marker, sizeof marker);
        ::_exit(0);
    }
}

// In the child: every given descriptor at its number, /dev/null for the
// standard ones not given, everything else closed. reportFd and goFd receive
// the new numbers of our pipes. False when that cannot be done.
bool placeDescriptors(const ChildPlan& plan, int& reportFd, int& goFd) {
    const auto& fds = plan.descriptors;
    // Move every given descriptor above all the numbers in use, then
    // into its place, so that no move overwrites a descriptor still to come.
    int moved[64];
    if (fds.size() > 64) return false;
    // Our own pipes too, so that no given descriptor lands on them.
    const bool held = plan.go >= 0;
    reportFd = ::fcntl(plan.report, F_DUPFD_CLOEXEC, plan.highest + 1);
    goFd = held ? ::fcntl(plan.go, F_DUPFD_CLOEXEC, plan.highest + 1) : -1;
    if (reportFd < 0 || (held && goFd < 0)) return false;
    for (std::size_t i = 0; i < fds.size(); ++i)
        if ((moved[i] = ::fcntl(fds[i].first, F_DUPFD, plan.highest + 1)) < 0) return false;
    int nullFd = ::open("/dev/null", O_RDWR);
    for (int target = 0; target <= 2; ++target) {
        bool given = false;
        for (const auto& f : fds) given |= f.second == target;
        if (!given && nullFd >= 0) ::dup2(nullFd, target);
    }
    for (std::size_t i = 0; i < fds.size(); ++i) ::dup2(moved[i], fds[i].second);
    // Close everything else (except our pipes, closed on exec).
    const int limit = static_cast<int>(::sysconf(_SC_OPEN_MAX));
    for (int fd = 3; fd < limit && fd < 65536; ++fd) {
        bool keep = fd == reportFd || fd == goFd;
        for (const auto& f : fds) keep |= f.second == fd;
        if (!keep) ::close(fd);
    }
    return true;
}

[[noreturn]] void runChild(const ChildPlan& plan) {
    resetSignals();
    if (plan.newSession || plan.detached) ::setsid();
    if (plan.detached) leaveToInit(plan.report);
    int reportFd = -1;
    int goFd = -1;
    if (!placeDescriptors(plan, reportFd, goFd)) ::_exit(127);
    if (goFd >= 0) {
        char byte = 0;
        ssize_t n;
        do n = ::read(goFd, &byte, 1);
        while (n < 0 && errno == EINTR);
        if (n != 1) ::_exit(127);
    }
    ::execv(plan.argv[0], plan.argv.data());
    const int why = errno;
    (void)!::write(reportFd, &why, sizeof why);
    ::_exit(127);
}

// In the parent: beforeExec for the waiting child, then its go, or its end
// when beforeExec says no (false).
bool letRun(const SpawnOptions& options, pid_t pid, const int (&go)[2]) {
    ::close(go[0]);
    const bool run = options.beforeExec(pid);
    if (run) (void)!::write(go[1], "g", 1);
    ::close(go[1]);
    return run;
}

// In the parent: what the child reported until its program ran (the pipe
// closes on exec): the program's pid, or -1 with errno set.
pid_t collectReport(pid_t pid, int report, bool detached) {
    pid_t result = pid;
    int value = 0;
    int failure = 0;
    for (;;) {
        const ssize_t n = ::read(report, &value, sizeof value);
        if (n < 0 && errno == EINTR) continue;
        if (n != sizeof value) break;
        if (value < 0)
            result = -value;  // the detached grandchild
        else
            failure = value;
    }
    ::close(report);
    if (detached) waitForChild(pid);
    if (failure) {
        if (!detached) waitForChild(pid);
        errno = failure;
        return -1;
    }
    return result;
}

}  // namespace

pid_t spawnProcess(const SpawnOptions& options) {
    if (options.arguments.isEmpty()) {
        errno = EINVAL;
        return -1;
    }
    ChildPlan plan = planFor(options);
    // A pipe that reports a failed exec (or fork) back to us.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    // A pipe on which the child waits for the go of beforeExec.
    const bool held = options.beforeExec && !options.detached;
    int go[2] = {-1, -1};
    if (held && ::pipe2(go, O_CLOEXEC) != 0) {
        const int why = errno;
        closePipe(report);
        errno = why;
        return -1;
    }
    plan.report = report[1];
    plan.go = held ? go[0] : -1;
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int why = errno;
        closePipe(report);
        if (held) closePipe(go);
        errno = why;
        return -1;
    }
    if (pid == 0) runChild(plan);
    ::close(report[1]);
    if (held && !letRun(options, pid, go)) {
        ::close(report[0]);
        waitForChild(pid);
        errno = ECANCELED;
        return -1;
    }
    return collectReport(pid, report[0], options.detached);
}

bool reapChild(pid_t pid, int* status) {
    if (pid <= 0) return true;
    int s = 0;
    pid_t r;
    do r = ::waitpid(pid, &s, WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    if (status) *status = r == pid ? s : 0;
    return true;  // ended, or not our child (ECHILD)
}

namespace {
std::mutex adoptedMutex;
std::vector<pid_t>& adopted() {
    static std::vector<pid_t> children;
    return children;
}
// How the last adopted children ended, for whoever asks why a line went.
std::deque<std::pair<pid_t, int>>& endings() {
    static std::deque<std::pair<pid_t, int>> ended;
    return ended;
}
void reapAdoptedLocked() {
    std::erase_if(adopted(), [](pid_t pid) {
        int status = 0;
        if (!reapChild(pid, &status)) return false;
        endings().emplace_back(pid, status);
        if (endings().size() > 64) endings().pop_front();
        return true;
    });
}
}  // namespace

void adoptChild(pid_t pid) {
    if (pid <= 0) return;
    std::lock_guard lock(adoptedMutex);
    adopted().push_back(pid);
}

void reapAdopted() {
    std::lock_guard lock(adoptedMutex);
    reapAdoptedLocked();
}

std::optional<int> adoptedChildExit(pid_t pid) {
    std::lock_guard lock(adoptedMutex);
    reapAdoptedLocked();
    for (auto it = endings().rbegin(); it != endings().rend(); ++it)
        if (it->first == pid) {
            if (!WIFEXITED(it->second)) return std::nullopt;
            return WEXITSTATUS(it->second);
        }
    return std::nullopt;
}

}  // namespace obu
