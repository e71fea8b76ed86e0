// Reading the registry's records: a look after a change reads the records
// that changed, when something watching the folder can name them, and looks
// at the processes of the calls that changed or whose process ended. A record
// that cannot be read makes the look fail rather than leave the call out.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dialup/phonebook/ConnectionRegistry.h"

namespace obu {

namespace {

constexpr qsizetype kMaxRecordBytes = qsizetype{16} * 1024;

// Oldest connection first: the first one listed is the one made first.
bool madeEarlier(const LineRecord& a, const LineRecord& b) {
    const std::int64_t ka = a.connectedAt ? a.connectedAt : a.startedAt;
    const std::int64_t kb = b.connectedAt ? b.connectedAt : b.startedAt;
    return ka != kb ? ka < kb : a.handle < b.handle;
}

CallId handleOfName(const char* name) {
    if (std::strncmp(name, "conn-", 5) != 0 || std::strlen(name) != 13) return 0;
    char* end = nullptr;
    const unsigned long handle = std::strtoul(name + 5, &end, 16);
    if (*end != 0 || handle > 0xFFFFFFFFul) return 0;
    return static_cast<CallId>(handle);
}

}  // namespace

ConnectionRegistry::Read ConnectionRegistry::readSmallFile(const QByteArray& path, QByteArray& out,
                                                           qsizetype limit) {
    // Only the user can write in the folder, yet a FIFO or a device under a
    // record's name must not leave a reader waiting in open() or read().
    const int fd =
        ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return Read::Gone;
        return errno == ELOOP || errno == ENXIO ? Read::NotARecord : Read::Failed;
    }
    Read result = Read::Done;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result = Read::Failed;
    } else if (!S_ISREG(st.st_mode) || st.st_size > limit) {
        result = Read::NotARecord;
    } else {
        out.clear();
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) result = Read::Failed;
            if (n <= 0) break;
            out.append(buf, n);
            if (out.size() > limit) {
                result = Read::NotARecord;
                break;
            }
        }
    }
    const int why = errno;
    ::close(fd);
    errno = why;
    return result;
}

ConnectionRegistry::Read ConnectionRegistry::readRecord(CallId handle, LineRecord& out) const {
    QByteArray text;
    const Read read = readSmallFile(path(recordName(handle)), text, kMaxRecordBytes);
    if (read != Read::Done) return read;
    LineRecord r;
    if (!parseRecordText(text, r) || r.handle != handle) return Read::NotARecord;
    out = std::move(r);
    return Read::Done;
}

ConnectionRegistry::Read ConnectionRegistry::readRecordNoting(CallId handle, LineRecord& out) {
    const Read read = readRecord(handle, out);
    if (read == Read::Failed)
        m_problem = QStringLiteral("cannot read %1: %2")
                        .arg(QFile::decodeName(path(recordName(handle))),
                             QString::fromLocal8Bit(std::strerror(errno)));
    else if (read == Read::Done)
        noteEndedProcesses(out);
    return read;
}

bool ConnectionRegistry::readAll(std::vector<LineRecord>& out) {
    out.clear();
    DIR* dir = ::opendir(m_folderBytes.constData());
    // A folder removed holds no calls; the next change makes it anew.
    if (!dir && errno == ENOENT) return true;
    if (!dir) {
        m_problem = QStringLiteral("cannot read %1: %2")
                        .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    bool complete = true;
    while (const dirent* e = ::readdir(dir)) {
        const CallId handle = handleOfName(e->d_name);
        if (handle == 0 || (e->d_type != DT_REG && e->d_type != DT_UNKNOWN)) continue;
        LineRecord r;
        const Read read = readRecordNoting(handle, r);
        if (read == Read::Done) out.push_back(std::move(r));
        if (read == Read::Failed) {
            complete = false;
            break;
        }
    }
    ::closedir(dir);
    if (!complete) return false;
    std::sort(out.begin(), out.end(), madeEarlier);
    return true;
}

bool ConnectionRegistry::readChanged() {
    std::vector<std::pair<CallId, LineRecord>> fresh;
    std::vector<CallId> gone;
    for (const CallId handle : m_dirty) {
        LineRecord r;
        switch (readRecordNoting(handle, r)) {
            case Read::Done:
                fresh.emplace_back(handle, std::move(r));
                break;
            case Read::Gone:
            case Read::NotARecord:
                gone.push_back(handle);
                break;
            case Read::Failed:
                return false;
        }
    }
    const auto drop = [this](CallId handle) {
        std::erase_if(m_records, [handle](const LineRecord& r) { return r.handle == handle; });
    };
    for (const CallId handle : gone) drop(handle);
    for (auto& [handle, r] : fresh) {
        drop(handle);
        m_records.insert(std::lower_bound(m_records.begin(), m_records.end(), r, madeEarlier),
                         std::move(r));
    }
    m_dirty.clear();
    return true;
}

bool ConnectionRegistry::reread() {
    if (!lock(false)) {
        m_problem = QStringLiteral("cannot lock %1: %2")
                        .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const bool read = readLocked();
    unlock();
    return read;
}

bool ConnectionRegistry::readLocked() {
    // Under the lock, every change that moved the counter this far has been
    // named to the source of changes by now.
    const std::uint64_t seen = generation();
    m_folderChanged = false;
    const bool named = m_cacheValid && m_changedRecords && m_changedRecords(m_dirty);
    // Without names, the records changed by this process alone are known
    // while nobody else has moved the counter.
    const bool known = named || (m_cacheValid && seen == m_cachedGeneration);
    bool read;
    if (known) {
        read = readChanged();
    } else {
        std::vector<LineRecord> all;
        read = readAll(all);
        if (read) {
            m_records = std::move(all);
            m_dirty.clear();
        }
        m_cacheValid = read;
    }
    if (!read) return false;
    m_cachedGeneration = seen;
    m_problem.clear();
    m_watch = std::any_of(m_records.begin(), m_records.end(), [](const LineRecord& r) {
        return !r.established() || r.holder > 0 || r.dropAt != 0;
    });
    return true;
}

bool ConnectionRegistry::refresh() {
    // A folder removed (and perhaps made anew by someone else) has a new
    // state file that our mapping would never see move; a state file shrunk
    // under us has broken the mapping.
    if (++m_callsSinceCheck >= 512 || m_mapping.broken()) {
        m_callsSinceCheck = 0;
        if (!ensureCurrent()) return false;
    } else if (!ensureOpen()) {
        return false;
    }
    if (!m_cacheValid || m_folderChanged || generation() != m_cachedGeneration ||
        !m_dirty.empty()) {
        if (!reread()) return false;
    }
    if (!m_watch) return true;
    checkProcesses();
    return prune();
}

std::int64_t ConnectionRegistry::processBehind(const LineRecord& record) const {
    if (record.established()) return record.holder > 0 ? record.holder : 0;
    return record.owner != m_pid && record.owner > 0 ? record.owner : 0;
}

void ConnectionRegistry::checkProcesses() {
    // A record's processes are looked at when it is read. After that, those
    // that something waits for are looked at when they end; the others five
    // times a second at most, however often the calls are asked for.
    const std::int64_t now = nowMs();
    const bool due = now >= m_nextProcessCheck;
    if (!due && m_endedProcesses.empty()) return;
    if (due) m_nextProcessCheck = now + 200;
    for (LineRecord& r : m_records) {
        const std::int64_t pid = processBehind(r);
        if (pid != 0 && (m_endedProcesses.count(pid) ||
                         (due && !std::binary_search(m_watchedProcesses.begin(),
                                                     m_watchedProcesses.end(), pid))))
            noteEndedProcesses(r);
    }
    m_endedProcesses.clear();
}

void ConnectionRegistry::noteEndedProcesses(LineRecord& record) const {
    if (record.established() && record.holder > 0)
        record.holderGone = !holderAlive(record);
    else if (!record.established() && !record.ownerGone)
        record.ownerGone = !ownerAlive(record);
}

bool ConnectionRegistry::ownerAlive(const LineRecord& record) const {
    if (record.owner == m_pid) return true;
    if (record.ownerGone || record.owner <= 0) return false;
    // With its start time, a process id reused since is told apart.
    if (record.ownerStart != 0) return processAlive(ProcessId{record.owner, record.ownerStart});
    return ::kill(static_cast<pid_t>(record.owner), 0) == 0 || errno == EPERM;
}

bool ConnectionRegistry::holderAlive(const LineRecord& record) {
    // Hanging up signals the holder: a record without the holder's start time
    // could name any process of the user, so it names none.
    return record.holder > 0 && record.holderStart != 0 &&
           processAlive(ProcessId{record.holder, record.holderStart});
}

void ConnectionRegistry::setWatchedProcesses(std::vector<std::int64_t> pids) {
    std::sort(pids.begin(), pids.end());
    m_watchedProcesses = std::move(pids);
}

void ConnectionRegistry::setChangedRecords(ChangedRecords source) {
    m_changedRecords = std::move(source);
    // What the source names starts from now: the next look reads everything.
    m_cacheValid = false;
}

}  // namespace obu
