#include "ras/UucpLock.h"

#include "ras/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace obu {

namespace {

QByteArray lockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// The pid written in a lock file: ten ASCII characters, or in very old files a
// binary int. 0 when the file cannot be read or holds nothing sensible.
pid_t readPid(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return 0;
    char buf[64];
    ssize_t n;
    do n = ::read(fd, buf, sizeof buf - 1);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) return 0;
    buf[n] = 0;
    const QByteArray text = QByteArray(buf, n).trimmed();
    bool ok = false;
    const long pid = text.toLong(&ok);
    if (ok) return pid > 0 ? static_cast<pid_t>(pid) : 0;
    if (n == 4) {
        int binary = 0;
        std::memcpy(&binary, buf, 4);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

// A zombie waiting for its parent holds nothing any more.
bool alive(pid_t pid) {
    return pid > 0 && processAlive(ProcessId{pid, 0});
}

// Writes a lock file under a temporary name and links it into place, so that
// nobody ever reads a half-written lock and two writers cannot both succeed.
int writeLock(const QByteArray& path, pid_t pid) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray temp =
        path.left(slash + 1) + "LTMP." + QByteArray::number(static_cast<int>(::getpid()));
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    const QByteArray text = lockText(pid);
    const bool written = ::write(fd, text.constData(), text.size()) == text.size();
    ::close(fd);
    if (!written) {
        ::unlink(temp.constData());
        return EIO;
    }
    const int linked = ::link(temp.constData(), path.constData());
    const int why = errno;
    ::unlink(temp.constData());
    return linked == 0 ? 0 : why;
}

}  // namespace

UucpLock::~UucpLock() {
    release();
}

QString UucpLock::defaultFolder() {
    const QString overridden = qEnvironmentVariable("OBU_LOCK_DIR");
    return overridden.isEmpty() ? QStringLiteral("/var/lock") : overridden;
}

QByteArray UucpLock::lockPath(const QString& folder, const QByteArray& device) {
    const QByteArray base = device.mid(device.lastIndexOf('/') + 1);
    return QFile::encodeName(folder) + "/LCK.." + base;
}

pid_t UucpLock::owner(const QByteArray& lockFile) {
    const pid_t pid = readPid(lockFile);
    return alive(pid) ? pid : 0;
}

void UucpLock::removeIfHeldBy(const QByteArray& lockFile, pid_t pid) {
    if (pid > 0 && readPid(lockFile) == pid && !alive(pid)) ::unlink(lockFile.constData());
}

UucpLock::Result UucpLock::acquire(const QString& folder, const QByteArray& device) {
    release();
    holder_ = 0;
    const QByteArray path = lockPath(folder, device);
    const pid_t self = ::getpid();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int error = writeLock(path, self);
        if (error == 0) {
            path_ = path;
            pid_ = self;
            return Result::Taken;
        }
        if (error == ENOENT || error == EACCES || error == EROFS || error == EPERM ||
            error == ENOTDIR)
            return Result::NoFolder;
        if (error != EEXIST) return Result::Failed;
        const pid_t pid = readPid(path);
        if (pid == self) {
            // Ours already (a lock left by an earlier call of this process).
            path_ = path;
            pid_ = self;
            return Result::Taken;
        }
        if (alive(pid)) {
            holder_ = pid;
            return Result::InUse;
        }
        // Stale: its owner is gone (or it holds no pid at all). Remove it, unless
        // it changed under us, and try again.
        if (readPid(path) == pid) ::unlink(path.constData());
    }
    return Result::Failed;
}

bool UucpLock::handOver(pid_t pid) {
    if (path_.isEmpty() || pid <= 0) return false;
    const QByteArray text = lockText(pid);
    const QByteArray temp = path_ + ".new";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.constData(), text.size()) == text.size();
    ::close(fd);
    if (!written || ::rename(temp.constData(), path_.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    pid_ = pid;
    return true;
}

void UucpLock::release() {
    if (path_.isEmpty()) return;
    const pid_t pid = readPid(path_);
    if (pid == pid_ || pid == ::getpid()) ::unlink(path_.constData());
    path_.clear();
    pid_ = 0;
}

void UucpLock::detach() {
    path_.clear();
    pid_ = 0;
}

}  // namespace obu
