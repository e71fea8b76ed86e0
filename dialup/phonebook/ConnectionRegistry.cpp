#include "dialup/phonebook/ConnectionRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialup/modem/PppdLink.h"
#include "dialup/modem/Processes.h"
#include "dialup/modem/UucpLock.h"
#include "platform/Clock.h"

namespace obu {

namespace {

constexpr qsizetype kMaxRecordBytes = qsizetype{16} * 1024;

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

std::int64_t ConnectionRegistry::nowMs() const {
    // Reading the local time costs microseconds; the tick counter costs
    // nanoseconds. Deadlines are checked on every call of the drop watch, so
    // the time of day is read once a second and carried on by the ticks.
    const std::uint32_t tick = clock_.millisecondsSinceStart();
    const std::uint32_t since = tick - lastTick_;
    if (lastNow_ != 0 && since < 1000) return lastNow_ + since;
    lastNow_ = clock_.now().toMSecsSinceEpoch();
    lastTick_ = tick;
    return lastNow_;
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
    const std::uint64_t seen = generation();
    records_ = readAll();
    unlock();
    cachedGeneration_ = seen;
    cacheValid_ = true;
    watch_ = std::any_of(records_.begin(), records_.end(), [](const LineRecord& r) {
        return !r.established() || r.holder > 0 || r.dropAt != 0;
    });
    nextProcessCheck_ = 0;
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
    if (!cacheValid_ || generation() != cachedGeneration_) reread();
    if (watch_) {
        checkProcesses();
        prune();
    }
    return true;
}

void ConnectionRegistry::checkProcesses() {
    // Reading /proc or signalling costs microseconds a process, and a hundred
    // other dials may be listed; the drop watch asks far more often than a
    // process ends. Five looks a second notice an end soon enough, and an end
    // that wakes the service is looked at at once (recheckProcesses).
    const std::int64_t now = nowMs();
    if (now < nextProcessCheck_) return;
    nextProcessCheck_ = now + 200;
    for (LineRecord& r : records_) noteEndedProcesses(r);
}

void ConnectionRegistry::noteEndedProcesses(LineRecord& record) const {
    if (record.established() && record.holder > 0)
        record.holderGone = !processAlive(ProcessId{record.holder, record.holderStart});
    else if (!record.established() && !record.ownerGone)
        record.ownerGone = !ownerAlive(record);
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
    return record.owner != pid_ && (record.ownerGone || record.owner <= 0);
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
        noteEndedProcesses(r);
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
        noteEndedProcesses(r);
        return !r.ended() && !needsPruning(r, now) && r.device == record.device;
    });
    const CallId handle = allocateHandle(all);
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
