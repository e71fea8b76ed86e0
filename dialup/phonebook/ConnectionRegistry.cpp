#include "dialup/phonebook/ConnectionRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialup/modem/PppdLink.h"
#include "dialup/modem/Processes.h"
#include "dialup/modem/UucpLock.h"
#include "platform/Clock.h"

namespace obu {

namespace {

constexpr std::size_t kStateBytes = 4096;
constexpr std::uint32_t kMagic = 0x4C55424F;  // "OBUL"
constexpr std::uint32_t kVersion = 1;
constexpr qsizetype kMaxRecordBytes = qsizetype{16} * 1024;

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

QByteArray recordName(CallId handle) {
    char name[32];
    std::snprintf(name, sizeof name, "conn-%08X", handle);
    return name;
}

bool readFile(const QByteArray& path, QByteArray& out, qsizetype limit) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    out.clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, n);
        if (out.size() > limit) break;
    }
    ::close(fd);
    return out.size() <= limit;
}

// Text values are percent-encoded so that no caller's text (a phone number
// with a line break in it) can break a record apart.
QByteArray encodeValue(const QByteArray& value) {
    return value.toPercentEncoding(" ()+,/:;@&'");
}

}  // namespace

QByteArray recordText(const LineRecord& r) {
    QByteArray out;
    out += "handle=" + QByteArray::number(r.handle, 16).rightJustified(8, '0').toUpper() + '\n';
    out += "state=" + QByteArray::number(static_cast<std::uint32_t>(r.state)) + '\n';
    out += "error=" + QByteArray::number(r.error) + '\n';
    out += "owner=" + QByteArray::number(r.owner) + '\n';
    out += "ownerStart=" + QByteArray::number(static_cast<qulonglong>(r.ownerStart)) + '\n';
    out += "startedAt=" + QByteArray::number(r.startedAt) + '\n';
    out += "connectedAt=" + QByteArray::number(r.connectedAt) + '\n';
    out += "dropAt=" + QByteArray::number(r.dropAt) + '\n';
    out += "entry=" + encodeValue(r.entry) + '\n';
    out += "phone=" + encodeValue(r.phoneNumber) + '\n';
    out += "device=" + encodeValue(r.device) + '\n';
    out += "deviceType=" + encodeValue(r.deviceType) + '\n';
    out += "user=" + encodeValue(r.userName) + '\n';
    if (!r.port.isEmpty()) out += "port=" + encodeValue(r.port) + '\n';
    if (!r.detail.isEmpty()) out += "detail=" + encodeValue(r.detail) + '\n';
    if (r.holder) {
        out += "holder=" + QByteArray::number(r.holder) + '\n';
        out += "holderStart=" + QByteArray::number(static_cast<qulonglong>(r.holderStart)) + '\n';
        out += "holderKind=" + encodeValue(r.holderKind) + '\n';
        if (!r.lockFile.isEmpty()) out += "lock=" + encodeValue(r.lockFile) + '\n';
    }
    return out;
}

bool parseRecordText(const QByteArray& text, LineRecord& r) {
    bool haveHandle = false;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        bool ok = true;
        if (key == "handle") {
            r.handle = value.toUInt(&ok, 16);
            haveHandle = ok && r.handle != 0;
        } else if (key == "state")
            r.state = static_cast<CallState>(value.toUInt(&ok));
        else if (key == "error")
            r.error = value.toUInt(&ok);
        else if (key == "owner")
            r.owner = value.toLongLong(&ok);
        else if (key == "ownerStart")
            r.ownerStart = value.toULongLong(&ok);
        else if (key == "startedAt")
            r.startedAt = value.toLongLong(&ok);
        else if (key == "connectedAt")
            r.connectedAt = value.toLongLong(&ok);
        else if (key == "dropAt")
            r.dropAt = value.toLongLong(&ok);
        else if (key == "entry")
            r.entry = QByteArray::fromPercentEncoding(value).left(kMaxEntryName);
        else if (key == "phone")
            r.phoneNumber = QByteArray::fromPercentEncoding(value);
        else if (key == "device")
            r.device = QByteArray::fromPercentEncoding(value);
        else if (key == "deviceType")
            r.deviceType = QByteArray::fromPercentEncoding(value);
        else if (key == "user")
            r.userName = QByteArray::fromPercentEncoding(value);
        else if (key == "port")
            r.port = QByteArray::fromPercentEncoding(value);
        else if (key == "detail")
            r.detail = QByteArray::fromPercentEncoding(value);
        else if (key == "holder")
            r.holder = value.toLongLong(&ok);
        else if (key == "holderStart")
            r.holderStart = value.toULongLong(&ok);
        else if (key == "holderKind")
            r.holderKind = QByteArray::fromPercentEncoding(value);
        else if (key == "lock")
            r.lockFile = QByteArray::fromPercentEncoding(value);
        if (!ok) return false;
    }
    return haveHandle;
}

namespace {

std::uint64_t fnv1a(const QByteArray& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

ConnectionRegistry::ConnectionRegistry(QString folder, Clock& clock)
    : folder_(std::move(folder)),
      folderBytes_(QFile::encodeName(folder_)),
      clock_(clock),
      pid_(::getpid()) {}

ConnectionRegistry::~ConnectionRegistry() {
    close();
}

QString ConnectionRegistry::defaultFolder() {
    const QString overridden = qEnvironmentVariable("OBU_LINES_DIR");
    if (!overridden.isEmpty()) return overridden;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/obu-lines");
    // No runtime folder: a folder under the user's own state folder, which
    // no other user can create first (a name in /tmp anyone could).
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/obu/lines");
}

QByteArray ConnectionRegistry::path(const QByteArray& name) const {
    return folderBytes_ + '/' + name;
}

std::int64_t ConnectionRegistry::nowMs() const {
    // Reading the local time costs microseconds; the tick counter costs
    // nanoseconds. Deadlines are checked on every call of the drop watch, so
    // the time of day is read once a second and carried on by the ticks.
    const std::uint32_t tick = clock_.tickCount();
    const std::uint32_t since = tick - lastTick_;
    if (lastNow_ != 0 && since < 1000) return lastNow_ + since;
    lastNow_ = clock_.now().toMSecsSinceEpoch();
    lastTick_ = tick;
    return lastNow_;
}

bool ConnectionRegistry::checkFolder() {
    if (folderBytes_.isEmpty()) {
        problem_ = QStringLiteral("no folder for the connection records");
        return false;
    }
    if (::mkdir(folderBytes_.constData(), 0700) != 0 && errno != EEXIST) {
        if (errno != ENOENT || !QDir().mkpath(folder_)) {
            problem_ = QStringLiteral("cannot create %1: %2")
                           .arg(folder_, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    struct stat st {};
    if (::lstat(folderBytes_.constData(), &st) != 0) {
        problem_ = QStringLiteral("cannot use %1: %2")
                       .arg(folder_, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The records say which programs are online: the folder must be the
    // user's own, never a link that someone else laid in a shared place.
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
        problem_ = QStringLiteral("%1 is not a folder").arg(folder_);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        problem_ = QStringLiteral("%1 belongs to another user").arg(folder_);
        return false;
    }
    if ((st.st_mode & 077) != 0) ::chmod(folderBytes_.constData(), 0700);
    return true;
}

bool ConnectionRegistry::ensureOpen() {
    if (stateFd_ >= 0) return true;
    if (!checkFolder()) return false;
    const QByteArray statePath = path("state");
    const int fd = ::open(statePath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        problem_ =
            QStringLiteral("cannot open %1: %2")
                .arg(QFile::decodeName(statePath), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem_ = QStringLiteral("%1 is not a file").arg(QFile::decodeName(statePath));
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return false;
    }
    // The space is reserved, not just the size set: a page of a sparse file
    // that cannot be given room on a full disk faults whoever touches it.
    // (posix_fallocate returns the error instead of setting errno.)
    const int reserved = ::posix_fallocate(fd, 0, kStateBytes);
    if (reserved != 0 || !mapping_.map(fd, kStateBytes)) {
        const int why = reserved ? reserved : errno;
        problem_ = why == ENOSPC ? QStringLiteral("no room for %1: the disk is full")
                                       .arg(QFile::decodeName(statePath))
                                 : QStringLiteral("cannot map %1: %2")
                                       .arg(QFile::decodeName(statePath),
                                            QString::fromLocal8Bit(std::strerror(why)));
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return false;
    }
    void* mapping = mapping_.data();
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
    stateFd_ = fd;
    shared_ = mapping;
    stateInode_ = st.st_ino;
    stateDevice_ = st.st_dev;
    cacheValid_ = false;
    problem_.clear();
    return true;
}

bool ConnectionRegistry::ensureCurrent() {
    if (stateFd_ >= 0) {
        struct stat st {};
        if (mapping_.broken() || ::stat(path("state").constData(), &st) != 0 ||
            static_cast<std::uint64_t>(st.st_ino) != stateInode_ ||
            static_cast<std::uint64_t>(st.st_dev) != stateDevice_ ||
            static_cast<std::size_t>(st.st_size) < kStateBytes)
            close();
    }
    return ensureOpen();
}

void ConnectionRegistry::close() {
    mapping_.unmap();
    if (stateFd_ >= 0) ::close(stateFd_);
    shared_ = nullptr;
    stateFd_ = -1;
    cacheValid_ = false;
}

bool ConnectionRegistry::lock(bool exclusive) {
    while (::flock(stateFd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void ConnectionRegistry::unlock() {
    ::flock(stateFd_, LOCK_UN);
}

void ConnectionRegistry::bumpGeneration() {
    std::atomic_ref<std::uint64_t>(header(shared_)->generation)
        .fetch_add(1, std::memory_order_release);
    if (onChange_) onChange_();
}

std::uint64_t ConnectionRegistry::generation() const {
    if (!shared_) return 0;
    return std::atomic_ref<std::uint64_t>(header(shared_)->generation)
        .load(std::memory_order_acquire);
}

std::int64_t ConnectionRegistry::nextDropAt() const {
    std::int64_t next = 0;
    for (const LineRecord& r : records_)
        if (r.established() && r.dropAt != 0 && (next == 0 || r.dropAt < next)) next = r.dropAt;
    return next;
}

std::vector<ProcessId> ConnectionRegistry::processesToWatch() const {
    std::vector<ProcessId> processes;
    for (const LineRecord& r : records_) {
        if (r.established() && r.holder > 0)
            processes.push_back(ProcessId{r.holder, r.holderStart});
        else if (!r.established() && r.owner != pid_ && r.owner > 0)
            processes.push_back(ProcessId{r.owner, r.ownerStart});
    }
    return processes;
}

bool ConnectionRegistry::readRecord(CallId handle, LineRecord& out) const {
    QByteArray text;
    if (!readFile(path(recordName(handle)), text, kMaxRecordBytes)) return false;
    LineRecord r;
    if (!parseRecordText(text, r) || r.handle != handle) return false;
    out = std::move(r);
    return true;
}

std::vector<LineRecord> ConnectionRegistry::readAll() const {
    std::vector<LineRecord> all;
    DIR* dir = ::opendir(folderBytes_.constData());
    if (!dir) return all;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strncmp(e->d_name, "conn-", 5) != 0 || std::strlen(e->d_name) != 13) continue;
        char* end = nullptr;
        const unsigned long handle = std::strtoul(e->d_name + 5, &end, 16);
        if (*end != 0 || handle == 0 || handle > 0xFFFFFFFFul) continue;
        LineRecord r;
        if (!readRecord(static_cast<CallId>(handle), r)) continue;
        if (r.owner != pid_ && !r.established() && r.ownerStart != 0) {
            const std::uint64_t start = processStartTime(r.owner);
            r.ownerGone = start != 0 && start != r.ownerStart;
        }
        all.push_back(std::move(r));
    }
    ::closedir(dir);
    // Oldest connection first: the first one listed is the one made first.
    std::sort(all.begin(), all.end(), [](const LineRecord& a, const LineRecord& b) {
        const std::int64_t ka = a.connectedAt ? a.connectedAt : a.startedAt;
        const std::int64_t kb = b.connectedAt ? b.connectedAt : b.startedAt;
        return ka != kb ? ka < kb : a.handle < b.handle;
    });
    return all;
}

bool ConnectionRegistry::writeRecord(const LineRecord& record) {
    const QByteArray temp =
        path(".tmp-" + QByteArray::number(pid_) + '-' + QByteArray::number(++tempCounter_));
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const QByteArray text = recordText(record);
    const bool written = ::write(fd, text.constData(), text.size()) == text.size();
    const bool closed = ::close(fd) == 0;
    if (!written || !closed ||
        ::rename(temp.constData(), path(recordName(record.handle)).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

void ConnectionRegistry::reread() {
    if (!lock(false)) return;
    const std::uint64_t generation =
        std::atomic_ref<std::uint64_t>(header(shared_)->generation).load(std::memory_order_acquire);
    records_ = readAll();
    unlock();
    cachedGeneration_ = generation;
    cacheValid_ = true;
    holders_ = std::any_of(records_.begin(), records_.end(),
                           [](const LineRecord& r) { return r.established() && r.holder > 0; });
    watch_ = holders_ || std::any_of(records_.begin(), records_.end(), [](const LineRecord& r) {
                 return !r.established() || r.dropAt != 0;
             });
    nextHolderCheck_ = 0;
}

bool ConnectionRegistry::refresh() {
    // A folder removed (and perhaps made anew by someone else) has a new
    // state file that our mapping would never see move; a state file shrunk
    // under us has broken the mapping.
    if (++callsSinceCheck_ >= 512 || mapping_.broken()) {
        callsSinceCheck_ = 0;
        if (!ensureCurrent()) return false;
    } else if (!ensureOpen()) {
        return false;
    }
    const std::uint64_t generation =
        std::atomic_ref<std::uint64_t>(header(shared_)->generation).load(std::memory_order_acquire);
    if (!cacheValid_ || generation != cachedGeneration_) reread();
    if (holders_) checkHolders();
    if (watch_) prune();
    return true;
}

void ConnectionRegistry::checkHolders() {
    // Reading /proc costs microseconds; the drop watch asks far more often than
    // a line can end. Five looks a second notice a dead holder soon enough.
    const std::int64_t now = nowMs();
    if (now < nextHolderCheck_) return;
    nextHolderCheck_ = now + 200;
    for (LineRecord& r : records_)
        if (r.established() && r.holder > 0)
            r.holderGone = !processAlive(ProcessId{r.holder, r.holderStart});
}

const LineRecord* ConnectionRegistry::find(CallId handle) const {
    for (const LineRecord& r : records_)
        if (r.handle == handle) return &r;
    return nullptr;
}

bool ConnectionRegistry::ownerAlive(const LineRecord& record) const {
    if (record.owner == pid_) return true;
    if (record.ownerGone || record.owner <= 0) return false;
    return ::kill(static_cast<pid_t>(record.owner), 0) == 0 || errno == EPERM;
}

bool ConnectionRegistry::needsPruning(const LineRecord& record, std::int64_t& now) const {
    if (record.established()) {
        if (record.holderGone) return true;
        if (record.dropAt == 0) return false;
        if (now < 0) now = nowMs();
        return now >= record.dropAt;
    }
    return !ownerAlive(record);
}

void ConnectionRegistry::noteOwnLimit(LineRecord& record) const {
    // Only pppd's parent, the process that dialled, learns how it ended.
    if (record.owner != pid_ || record.holderKind != "pppd") return;
    const std::optional<int> code = adoptedChildExit(static_cast<pid_t>(record.holder));
    if (!code || !PppdLink::endedByOwnLimit(*code)) return;
    record.error = dialup_error::LimitReached;
    record.detail = PppdLink::exitText(*code).toUtf8();
}

void ConnectionRegistry::prune() {
    std::int64_t now = -1;
    if (std::none_of(records_.begin(), records_.end(),
                     [&](const LineRecord& r) { return needsPruning(r, now); }))
        return;
    if (!lock(true)) return;
    bool changed = false;
    for (LineRecord& r : readAll()) {
        if (r.established() && r.holder > 0)
            r.holderGone = !processAlive(ProcessId{r.holder, r.holderStart});
        if (!needsPruning(r, now)) continue;
        if (r.holderGone && !r.lockFile.isEmpty())
            UucpLock::removeIfHeldBy(r.lockFile, static_cast<pid_t>(r.holder));
        if (r.established() && ownerAlive(r)) {
            r.state = CallState::Disconnected;
            r.error = dialup_error::RemoteDisconnection;
            if (r.holderGone) noteOwnLimit(r);
            changed |= writeRecord(r);
        } else {
            changed |= ::unlink(path(recordName(r.handle)).constData()) == 0;
        }
    }
    if (changed) bumpGeneration();
    unlock();
    reread();
}

CallId ConnectionRegistry::add(LineRecord& record) {
    if (!ensureCurrent() || !lock(true)) return 0;
    const std::vector<LineRecord> all = readAll();
    // Temporary files left by a writer that died: nobody writes while we hold the lock.
    if (DIR* dir = ::opendir(folderBytes_.constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strncmp(e->d_name, ".tmp-", 5) == 0) ::unlink(path(e->d_name).constData());
        ::closedir(dir);
    }
    std::int64_t now = -1;
    const bool deviceInUse = std::any_of(all.begin(), all.end(), [&](LineRecord r) {
        // A line whose holder has ended holds no modem, noticed or not.
        if (r.established() && r.holder > 0)
            r.holderGone = !processAlive(ProcessId{r.holder, r.holderStart});
        return !r.ended() && !needsPruning(r, now) && r.device == record.device;
    });
    SharedState* s = header(shared_);
    CallId handle = s->nextHandle;
    for (;; ++handle) {
        if (handle == 0) continue;
        if (std::none_of(all.begin(), all.end(),
                         [&](const LineRecord& r) { return r.handle == handle; }))
            break;
    }
    s->nextHandle = handle + 1;
    record.handle = handle;
    record.owner = pid_;
    record.ownerStart = processStartTime(pid_);
    if (deviceInUse) record.error = dialup_error::PortNotAvailable;
    const bool written = writeRecord(record);
    if (written)
        bumpGeneration();
    else
        problem_ = QStringLiteral("cannot write in %1: %2")
                       .arg(folder_, QString::fromLocal8Bit(std::strerror(errno)));
    unlock();
    return written ? handle : 0;
}

ConnectionRegistry::Change ConnectionRegistry::modify(CallId handle,
                                                      const std::function<bool(LineRecord&)>& edit,
                                                      LineRecord* after) {
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    LineRecord r;
    if (!readRecord(handle, r)) {
        unlock();
        return Change::Gone;
    }
    Change result = Change::Done;
    if (edit(r)) {
        if (writeRecord(r))
            bumpGeneration();
        else
            result = Change::Unavailable;
    }
    unlock();
    if (after) *after = std::move(r);
    return result;
}

void ConnectionRegistry::endHolder(const LineRecord& record, int signal) {
    if (record.holder <= 0 || !processAlive(ProcessId{record.holder, record.holderStart})) return;
    ::kill(static_cast<pid_t>(record.holder), signal);
}

ConnectionRegistry::Change ConnectionRegistry::remove(CallId handle) {
    if (handle == 0) return Change::Gone;
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    // The process that holds the line ends it: pppd ends the link and drops
    // DTR, the emulator hangs up.
    LineRecord held;
    if (readRecord(handle, held)) endHolder(held, SIGTERM);
    const bool removed = ::unlink(path(recordName(handle)).constData()) == 0;
    const int why = errno;
    if (removed) bumpGeneration();
    unlock();
    if (removed) return Change::Done;
    return why == ENOENT ? Change::Gone : Change::Unavailable;
}

ConnectionRegistry::Change ConnectionRegistry::endByProvider(CallId handle) {
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    LineRecord r;
    if (!readRecord(handle, r) || r.ended()) {
        unlock();
        return Change::Gone;
    }
    // The far end hangs up: the emulator plays it (NO CARRIER), and pppd, told
    // that the line is gone, ends the link and closes the device.
    endHolder(r, r.holderKind == "emulator" ? SIGUSR1 : SIGHUP);
    bool done;
    if (r.established() && !ownerAlive(r)) {
        done = ::unlink(path(recordName(handle)).constData()) == 0;
    } else {
        if (r.established()) r.state = CallState::Disconnected;
        r.error = dialup_error::RemoteDisconnection;
        done = writeRecord(r);
    }
    if (done) bumpGeneration();
    unlock();
    return done ? Change::Done : Change::Unavailable;
}

bool ConnectionRegistry::callFindsBusy(const QByteArray& line, int busyTimes) {
    if (busyTimes <= 0 || !ensureCurrent() || !lock(true)) return false;
    char name[40];
    std::snprintf(name, sizeof name, "line-%016llx", static_cast<unsigned long long>(fnv1a(line)));
    const QByteArray file = path(name);
    QByteArray text;
    const int answered = readFile(file, text, 64) ? text.trimmed().toInt() : 0;
    const bool busy = answered < busyTimes;
    if (busy) {
        const QByteArray temp =
            path(".tmp-" + QByteArray::number(pid_) + '-' + QByteArray::number(++tempCounter_));
        const int fd =
            ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            const QByteArray count = QByteArray::number(answered + 1) + '\n';
            const bool ok = ::write(fd, count.constData(), count.size()) == count.size();
            ::close(fd);
            if (!ok || ::rename(temp.constData(), file.constData()) != 0)
                ::unlink(temp.constData());
        }
    } else {
        // The line answered: the next caller starts counting afresh.
        ::unlink(file.constData());
    }
    unlock();
    return busy;
}

}  // namespace obu
