// The registry's folder and its state file: where the folder is, making and
// checking it, the mapped counters that every process shares, and the lock
// that every change holds.
#include "dialup/phonebook/ConnectionRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace obu {

namespace {

constexpr std::size_t kStateBytes = 4096;
constexpr std::uint32_t kMagic = 0x4C55424F;  // "OBUL"
constexpr std::uint32_t kVersion = 1;

// The mapped head of the state file, shared by every process.
struct SharedState {
    std::uint32_t magic;
    std::uint32_t version;
    std::uint64_t generation;
    std::uint32_t nextHandle;
};

SharedState* header(void* mapping) {
    return static_cast<SharedState*>(mapping);
}

}  // namespace

QString ConnectionRegistry::defaultFolder() {
    const QString overridden = qEnvironmentVariable("OBU_LINES_DIR");
    if (!overridden.isEmpty()) return overridden;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/obu-lines");
    // Cron jobs, su and some units run without the variable while the
    // session's programs keep their records in the login's runtime folder:
    // look there too, or a line that is up would be reported as none. Only
    // the user's own private folder will do, never one someone else made.
    if (runtime.isEmpty()) {
        const QByteArray session = "/run/user/" + QByteArray::number(::getuid());
        struct stat st {};
        if (::lstat(session.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::getuid() && (st.st_mode & 0777) == 0700)
            return QString::fromLatin1(session) + QStringLiteral("/obu-lines");
    }
    // No runtime folder: a folder under the user's own state folder, which
    // no other user can create first (a name in /tmp anyone could).
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/obu/lines");
}

QByteArray ConnectionRegistry::path(const QByteArray& name) const {
    return m_folderBytes + '/' + name;
}

bool ConnectionRegistry::checkFolder() {
    if (m_folderBytes.isEmpty()) {
        m_problem = QStringLiteral("no folder for the connection records");
        return false;
    }
    if (::mkdir(m_folderBytes.constData(), 0700) != 0 && errno != EEXIST) {
        if (errno != ENOENT || !QDir().mkpath(m_folder)) {
            m_problem = QStringLiteral("cannot create %1: %2")
                            .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    struct stat st {};
    if (::lstat(m_folderBytes.constData(), &st) != 0) {
        m_problem = QStringLiteral("cannot use %1: %2")
                        .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The records say which programs are online: the folder must be the
    // user's own, never a link that someone else laid in a shared place.
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
        m_problem = QStringLiteral("%1 is not a folder").arg(m_folder);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        m_problem = QStringLiteral("%1 belongs to another user").arg(m_folder);
        return false;
    }
    if ((st.st_mode & 077) != 0) ::chmod(m_folderBytes.constData(), 0700);
    return true;
}

bool ConnectionRegistry::ensureOpen() {
    if (m_stateFd >= 0) return true;
    if (!checkFolder()) return false;
    const QByteArray statePath = path("state");
    const int fd = ::open(statePath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_problem =
            QStringLiteral("cannot open %1: %2")
                .arg(QFile::decodeName(statePath), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_problem = QStringLiteral("%1 is not a file").arg(QFile::decodeName(statePath));
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return false;
    }
    // The space is reserved, not just the size set: a page of a sparse file
    // that cannot be given room on a full disk faults whoever touches it.
    // (posix_fallocate returns the error instead of setting errno.)
    const int reserved = ::posix_fallocate(fd, 0, kStateBytes);
    if (reserved != 0 || !m_mapping.map(fd, kStateBytes)) {
        const int why = reserved ? reserved : errno;
        m_problem = why == ENOSPC ? QStringLiteral("no room for %1: the disk is full")
                                        .arg(QFile::decodeName(statePath))
                                  : QStringLiteral("cannot map %1: %2")
                                        .arg(QFile::decodeName(statePath),
                                             QString::fromLocal8Bit(std::strerror(why)));
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return false;
    }
    void* mapping = m_mapping.data();
    SharedState* s = header(mapping);
    if (s->magic != kMagic || s->version != kVersion) {
        // A new folder. Handles start at a random place so that a handle kept
        // from before a reboot hardly ever names a new connection.
        s->magic = kMagic;
        s->version = kVersion;
        s->generation = 1;
        s->nextHandle = QRandomGenerator::system()->bounded(0x10000u, 0x7FFF0000u);
    }
    ::flock(fd, LOCK_UN);
    m_stateFd = fd;
    m_shared = mapping;
    m_stateInode = st.st_ino;
    m_stateDevice = st.st_dev;
    m_cacheValid = false;
    m_problem.clear();
    return true;
}

bool ConnectionRegistry::ensureCurrent() {
    if (m_stateFd >= 0) {
        struct stat st {};
        if (m_mapping.broken() || ::stat(path("state").constData(), &st) != 0 ||
            static_cast<std::uint64_t>(st.st_ino) != m_stateInode ||
            static_cast<std::uint64_t>(st.st_dev) != m_stateDevice ||
            static_cast<std::size_t>(st.st_size) < kStateBytes)
            close();
    }
    return ensureOpen();
}

void ConnectionRegistry::close() {
    m_mapping.unmap();
    if (m_stateFd >= 0) ::close(m_stateFd);
    m_shared = nullptr;
    m_stateFd = -1;
    m_cacheValid = false;
}

bool ConnectionRegistry::lock(bool exclusive) {
    while (::flock(m_stateFd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void ConnectionRegistry::unlock() {
    ::flock(m_stateFd, LOCK_UN);
}

void ConnectionRegistry::bumpGeneration(const std::vector<CallId>& changed) {
    const std::uint64_t before = std::atomic_ref<std::uint64_t>(header(m_shared)->generation)
                                     .fetch_add(1, std::memory_order_release);
    // Nobody else changed anything since the last look: the next one reads
    // the records changed here, not the whole folder.
    if (m_cacheValid && before == m_cachedGeneration) {
        m_cachedGeneration = before + 1;
        m_dirty.insert(changed.begin(), changed.end());
    }
    if (m_onChange) m_onChange();
}

std::uint64_t ConnectionRegistry::generation() const {
    if (!m_shared) return 0;
    return std::atomic_ref<std::uint64_t>(header(m_shared)->generation)
        .load(std::memory_order_acquire);
}

CallId ConnectionRegistry::allocateHandle(const std::vector<LineRecord>& inUse) {
    SharedState* s = header(m_shared);
    CallId handle = s->nextHandle;
    for (;; ++handle) {
        if (handle == 0) continue;
        if (std::none_of(inUse.begin(), inUse.end(),
                         [&](const LineRecord& r) { return r.handle == handle; }))
            break;
    }
    s->nextHandle = handle + 1;
    return handle;
}

}  // namespace obu
