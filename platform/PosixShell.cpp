#include "platform/PosixShell.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace obu {
namespace {

// The outcome for an errno met while starting `path`.
Shell::Outcome outcomeOf(int error, const QString& path) {
    switch (error) {
        case 0:
            return Shell::Outcome::Started;
        case ENOENT:
            // The file is there but its interpreter is not: not a program we can run.
            if (QFileInfo::exists(path)) return Shell::Outcome::NotAProgram;
            return QFileInfo(path).absoluteDir().exists() ? Shell::Outcome::NotFound
                                                          : Shell::Outcome::FolderNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return Shell::Outcome::FolderNotFound;
        case EACCES:
        case EPERM:
            return Shell::Outcome::NotAllowed;
        case ENOEXEC:
        case EISDIR:
            return Shell::Outcome::NotAProgram;
        default:
            return Shell::Outcome::OutOfResources;
    }
}

// Every descriptor from 3 up is closed when the child executes its program.
// Only async-signal-safe calls: this runs between fork and exec.
void closeOnExecFrom3(int maxFd) {
#if defined(CLOSE_RANGE_CLOEXEC)
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    for (int fd = 3; fd < maxFd; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

[[noreturn]] void failChild(int reportFd, int error) {
    ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// The highest descriptor number a child may have open, for closing them all.
int openFileLimit() {
    struct rlimit limit {};
    int maxFd = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        maxFd = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));
    return maxFd;
}

// What the program's process needs, prepared before fork.
struct ProgramLaunch {
    const QByteArray& path;
    const QByteArray& folder;  // empty: the working folder stays
    char* const* argv;
    int devNull;  // standard input; -1: left as it is
    int maxFd;
    int report;  // where a failure's errno goes
};

// In the program's process, between fork and exec: a session of its own,
// default signals, standard input from /dev/null, its folder, nothing of ours
// left open; then the program. Only async-signal-safe calls.
[[noreturn]] void runProgram(const ProgramLaunch& launch) {
    ::setsid();
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &byDefault, nullptr);
    if (launch.devNull >= 0) ::dup2(launch.devNull, STDIN_FILENO);
    if (!launch.folder.isEmpty() && ::chdir(launch.folder.constData()) != 0)
        failChild(launch.report, errno);
    closeOnExecFrom3(launch.maxFd);
    ::execve(launch.path.constData(), launch.argv, environ);
    failChild(launch.report, errno);
}

// In the parent: waits for the middle child, then reads why the program could
// not be executed. 0 when it was.
int launchResult(pid_t middle, int report) {
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without a word when the program was executed; otherwise
    // the child wrote why it could not be.
    int error = 0;
    ssize_t got;
    while ((got = ::read(report, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report);
    if (got == static_cast<ssize_t>(sizeof error)) return error;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return ECHILD;
    return 0;
}

bool looksLikeUrl(const QString& text) {
    // Two letters at least before the colon: a path that an older obu.ini
    // holds, such as C:\..., is a file name, not an address.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

bool isExecutableFile(const QByteArray& path) {
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

// Opens `target` with the desktop's default application for it.
Shell::Outcome openWithDefaultApplication(const QString& target) {
    const QString opener = PosixShell::findProgram(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return Shell::Outcome::NoApplication;
    return outcomeOf(PosixShell::spawnDetached(opener, {QStringLiteral("xdg-open"), target}, {}),
                     opener);
}

}  // namespace

QString PosixShell::findProgram(const QString& name) {
    if (name.isEmpty()) return {};
    if (name.contains(u'/')) return name;
    QByteArray path = qgetenv("PATH");
    if (path.isEmpty()) path = "/usr/local/bin:/usr/bin:/bin";
    for (const QByteArray& folder : path.split(':')) {
        // An empty entry would mean the working folder: not searched, as a
        // bare name must never pick up whatever lies there.
        if (folder.isEmpty()) continue;
        const QByteArray candidate = folder + '/' + QFile::encodeName(name);
        if (isExecutableFile(candidate)) return QFile::decodeName(candidate);
    }
    return {};
}

int PosixShell::spawnDetached(const QString& program, const QStringList& arguments,
                              const QString& directory) {
    // Everything the children need is prepared here: after fork only
    // async-signal-safe calls are allowed, as other threads may hold locks.
    const QByteArray path = QFile::encodeName(program);
    const QByteArray folder = QFile::encodeName(directory);
    QByteArrayList encoded;
    for (const QString& a : arguments) encoded.append(a.toLocal8Bit());
    if (encoded.isEmpty()) encoded.append(path);
    std::vector<char*> argv;
    for (QByteArray& a : encoded) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int maxFd = openFileLimit();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return errno;
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        if (devNull >= 0) ::close(devNull);
        return error;
    }
    if (middle == 0) {
        // The middle child only forks the program and ends, so that init
        // adopts the program and reaps it.
        ::close(report[0]);
        const pid_t child = ::fork();
        if (child < 0) failChild(report[1], errno);
        if (child > 0) ::_exit(0);
        runProgram(ProgramLaunch{path, folder, argv.data(), devNull, maxFd, report[1]});
    }

    ::close(report[1]);
    if (devNull >= 0) ::close(devNull);
    return launchResult(middle, report[0]);
}

Shell::Outcome PosixShell::start(const QStringList& command) {
    if (command.isEmpty() || command.first().trimmed().isEmpty()) return Outcome::NotFound;
    const QString program = findProgram(command.first());
    if (program.isEmpty()) return Outcome::NotFound;
    return outcomeOf(spawnDetached(program, command, {}), program);
}

Shell::Outcome PosixShell::open(const QString& target) {
    if (target.isEmpty()) return Outcome::NotFound;
    if (looksLikeUrl(target) && !QFileInfo::exists(target))
        return openWithDefaultApplication(target);

    if (!target.contains(u'/')) {
        const QString onPath = findProgram(target);
        if (!onPath.isEmpty()) return outcomeOf(spawnDetached(onPath, {target}, {}), onPath);
    }

    const QString absolute = QFileInfo(target).absoluteFilePath();
    const QByteArray encoded = QFile::encodeName(absolute);
    struct stat st;
    if (::stat(encoded.constData(), &st) != 0) return outcomeOf(errno, absolute);
    if (S_ISREG(st.st_mode) && ::access(encoded.constData(), X_OK) == 0)
        return outcomeOf(spawnDetached(absolute, {target}, {}), absolute);
    return openWithDefaultApplication(absolute);
}

}  // namespace obu
