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

pid_t spawnProcess(const SpawnOptions& options) {
    if (options.arguments.isEmpty()) {
        errno = EINVAL;
        return -1;
    }
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are made.
    std::vector<char*> argv;
    for (const QByteArray& a : options.arguments) argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    std::vector<std::pair<int, int>> fds;
    int highest = 2;
    for (const auto& [ours, theirs] : options.descriptors) {
        fds.emplace_back(ours, theirs);
        highest = std::max({highest, ours, theirs});
    }
    // A pipe that reports a failed exec (or fork) back to us.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    // A pipe on which the child waits for the go of beforeExec.
    const bool held = options.beforeExec && !options.detached;
    int go[2] = {-1, -1};
    if (held && ::pipe2(go, O_CLOEXEC) != 0) {
        const int why = errno;
        ::close(report[0]);
        ::close(report[1]);
        errno = why;
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int why = errno;
        ::close(report[0]);
        ::close(report[1]);
        if (held) {
            ::close(go[0]);
            ::close(go[1]);
        }
        errno = why;
        return -1;
    }
    if (pid == 0) {
        // Default signal handling: the parent may ignore SIGPIPE or SIGCHLD.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
            ::signal(sig, SIG_DFL);
        if (options.newSession || options.detached) ::setsid();
        if (options.detached) {
            const pid_t grandchild = ::fork();
            if (grandchild < 0) {
                const int why = errno;
                (void)!::write(report[1], &why, sizeof why);
                ::_exit(127);
            }
            if (grandchild > 0) {
                // Tell the parent the real pid, then leave the grandchild to init.
                const int marker = -static_cast<int>(grandchild);
                (void)!::write(report[1], &marker, sizeof marker);
                ::_exit(0);
            }
        }
        // Move every given descriptor above all the numbers in use, then
        // into its place, so that no move overwrites a descriptor still to come.
        int moved[64];
        if (fds.size() > 64) ::_exit(127);
        // Our own pipes too, so that no given descriptor lands on them.
        int reportFd = ::fcntl(report[1], F_DUPFD_CLOEXEC, highest + 1);
        int goFd = held ? ::fcntl(go[0], F_DUPFD_CLOEXEC, highest + 1) : -1;
        if (reportFd < 0 || (held && goFd < 0)) ::_exit(127);
        for (std::size_t i = 0; i < fds.size(); ++i)
            if ((moved[i] = ::fcntl(fds[i].first, F_DUPFD, highest + 1)) < 0) ::_exit(127);
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
        if (held) {
            char byte = 0;
            ssize_t n;
            do n = ::read(goFd, &byte, 1);
            while (n < 0 && errno == EINTR);
            if (n != 1) ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        const int why = errno;
        (void)!::write(reportFd, &why, sizeof why);
        ::_exit(127);
    }
    ::close(report[1]);
    if (held) {
        ::close(go[0]);
        const bool run = options.beforeExec(pid);
        if (run) (void)!::write(go[1], "g", 1);
        ::close(go[1]);
        if (!run) {
            ::close(report[0]);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            errno = ECANCELED;
            return -1;
        }
    }
    pid_t result = pid;
    int value = 0;
    int failure = 0;
    for (;;) {
        const ssize_t n = ::read(report[0], &value, sizeof value);
        if (n < 0 && errno == EINTR) continue;
        if (n != sizeof value) break;
        if (value < 0)
            result = -value;  // the detached grandchild
        else
            failure = value;
    }
    ::close(report[0]);
    if (options.detached) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (failure) {
        if (!options.detached) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        errno = failure;
        return -1;
    }
    return result;
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

}  // namespace obu

#include <deque>
#include <mutex>

namespace obu {

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
