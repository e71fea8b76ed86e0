#include "dialup/modem/UucpLock.h"

#include "dialup/modem/Processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
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

// What lies at a lock's name.
struct LockFile {
    enum Kind { Missing, Regular, Other } kind = Missing;
    pid_t pid = 0;
    uid_t owner = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// Never follows a link and never waits (a FIFO laid in the lock's place).
LockFile inspect(const QByteArray& path) {
    LockFile lock;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        // ELOOP: the name is a link.
        lock.kind = errno == ENOENT ? LockFile::Missing : LockFile::Other;
        return lock;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        lock.kind = LockFile::Other;
        return lock;
    }
    lock.kind = LockFile::Regular;
    lock.owner = st.st_uid;
    lock.device = st.st_dev;
    lock.inode = st.st_ino;
    char buf[64];
    ssize_t n;
    do n = ::read(fd, buf, sizeof buf);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n > 0) lock.pid = UucpLock::parsePid(QByteArray(buf, n));
    return lock;
}

// Our own lock file, still naming one of the given processes.
bool ours(const QByteArray& path, pid_t a, pid_t b) {
    const LockFile lock = inspect(path);
    return lock.kind == LockFile::Regular && lock.owner == ::geteuid() && lock.pid > 0 &&
           (lock.pid == a || lock.pid == b);
}

// A zombie waiting for its parent holds nothing any more.
bool alive(pid_t pid) {
    return pid > 0 && processAlive(ProcessId{pid, 0});
}

// Removes a stale lock that was found, unless it has been replaced meanwhile
// (another dialer took the device over and wrote a lock of its own there).
void removeStale(const QByteArray& path, const LockFile& found) {
    const LockFile now = inspect(path);
    if (now.kind == LockFile::Regular && now.device == found.device && now.inode == found.inode &&
        now.pid == found.pid && !alive(now.pid))
        ::unlink(path.constData());
}

// Writes text into a new file beside path, made exclusively under a name no
// one can guess, so that no link laid in the shared folder is ever followed
// and no one else's file is ever truncated. Returns its name (empty with
// errno set on failure).
QByteArray writeTemp(const QByteArray& path, const QByteArray& text) {
    const qsizetype slash = path.lastIndexOf('/');
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temp = path.left(slash + 1) + "LTMP." +
                                QByteArray::number(static_cast<int>(::getpid())) + '.' +
                                QByteArray::number(QRandomGenerator::system()->generate(), 16);
        const int fd =
            ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        // The mode asked for may be narrowed by the umask: other dialers must
        // be able to read who holds the device.
        ::fchmod(fd, 0644);
        const bool written = ::write(fd, text.constData(), text.size()) == text.size();
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(temp.constData());
            errno = EIO;
            return {};
        }
        return temp;
    }
    errno = EEXIST;
    return {};
}

// Links a new lock into place: two writers cannot both succeed, and nobody
// ever reads a half-written lock.
int writeLock(const QByteArray& path, pid_t pid) {
    const QByteArray temp = writeTemp(path, lockText(pid));
    if (temp.isEmpty()) return errno == EEXIST ? EIO : errno;
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

pid_t UucpLock::parsePid(const QByteArray& raw) {
    // The old binary form first: four bytes of a pid always hold a zero byte
    // (no pid reaches 2^24), which text never does, while the other bytes may
    // well read as digits and spaces ("7 " for 8247).
    if (raw.size() == 4 && raw.contains('\0')) {
        int binary = 0;
        std::memcpy(&binary, raw.constData(), 4);
        return binary > 0 ? binary : 0;
    }
    const QByteArray text = raw.trimmed();
    bool ok = false;
    const long pid = text.toLong(&ok);
    if (ok) return pid > 0 && pid <= 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
    return 0;
}

pid_t UucpLock::owner(const QByteArray& lockFile) {
    const LockFile lock = inspect(lockFile);
    if (lock.kind != LockFile::Regular) return 0;
    if (alive(lock.pid)) return lock.pid;
    // The lock of a dialer killed before it could remove it names a process
    // that has ended: it holds nothing, and it goes as soon as it is seen
    // (where the folder lets us: another user's stays in a sticky one).
    if (lock.pid > 0) removeStale(lockFile, lock);
    return 0;
}

void UucpLock::removeIfHeldBy(const QByteArray& lockFile, pid_t pid) {
    if (pid > 0 && ours(lockFile, pid, pid) && !alive(pid)) ::unlink(lockFile.constData());
}

void UucpLock::removeOwn(const QByteArray& lockFile, pid_t pid) {
    if (pid > 0 && ours(lockFile, pid, pid)) ::unlink(lockFile.constData());
}

UucpLock::Result UucpLock::acquire(const QString& folder, const QByteArray& device) {
    release();
    m_holder = 0;
    const QByteArray path = lockPath(folder, device);
    const pid_t self = ::getpid();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int error = writeLock(path, self);
        if (error == 0) {
            m_path = path;
            m_pid = self;
            return Result::Taken;
        }
        if (error == ENOENT || error == EACCES || error == EROFS || error == EPERM ||
            error == ENOTDIR)
            return Result::NoFolder;
        if (error != EEXIST) return Result::Failed;
        const LockFile found = inspect(path);
        if (found.kind == LockFile::Other) return Result::NotAFile;
        const pid_t pid = found.pid;
        if (pid == self && found.owner == ::geteuid()) {
            // Ours already (a lock left by an earlier call of this process).
            m_path = path;
            m_pid = self;
            return Result::Taken;
        }
        if (alive(pid)) {
            m_holder = pid;
            return Result::InUse;
        }
        // Stale: its owner is gone (or it holds no pid at all). Remove it, unless
        // it changed under us, and try again. (Another user's stale lock in a
        // sticky folder cannot be removed: after three tries, Failed.)
        if (found.kind == LockFile::Regular) removeStale(path, found);
    }
    return Result::Failed;
}

bool UucpLock::handOver(pid_t pid) {
    if (m_path.isEmpty() || pid <= 0) return false;
    // Only a lock that is still ours is rewritten; in a sticky folder no one
    // else can replace our file between this look and the rename.
    if (!ours(m_path, m_pid, ::getpid())) return false;
    const QByteArray temp = writeTemp(m_path, lockText(pid));
    if (temp.isEmpty()) return false;
    if (::rename(temp.constData(), m_path.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    m_pid = pid;
    return true;
}

void UucpLock::release() {
    if (m_path.isEmpty()) return;
    if (ours(m_path, m_pid, ::getpid())) ::unlink(m_path.constData());
    m_path.clear();
    m_pid = 0;
}

void UucpLock::detach() {
    m_path.clear();
    m_pid = 0;
}

}  // namespace obu
