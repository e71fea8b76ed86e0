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
    : m_folder(std::move(folder)),
      m_folderBytes(QFile::encodeName(m_folder)),
      m_clock(clock),
      m_pid(::getpid()) {}

ConnectionRegistry::~ConnectionRegistry() {
    close();
}

std::int64_t ConnectionRegistry::nowMs() const {
    // Reading the local time costs microseconds; the tick counter costs
    // nanoseconds. Deadlines are checked on every call of the drop watch, so
    // the time of day is read once a second and carried on by the ticks.
    const std::uint32_t tick = m_clock.millisecondsSinceStart();
    const std::uint32_t since = tick - m_lastTick;
    if (m_lastNow != 0 && since < 1000) return m_lastNow + since;
    m_lastNow = m_clock.now().toMSecsSinceEpoch();
    m_lastTick = tick;
    return m_lastNow;
}

std::int64_t ConnectionRegistry::nextDropAt() const {
    std::int64_t next = 0;
    for (const LineRecord& r : m_records)
        if (r.established() && r.dropAt != 0 && (next == 0 || r.dropAt < next)) next = r.dropAt;
    return next;
}

std::vector<ProcessId> ConnectionRegistry::processesToWatch() const {
    std::vector<ProcessId> processes;
    for (const LineRecord& r : m_records) {
        // A holder without its start time is no process to wait for.
        if (r.established() && r.holder > 0 && r.holderStart != 0 && !r.holderGone)
            processes.push_back(ProcessId{r.holder, r.holderStart});
        else if (!r.established() && r.owner != m_pid && r.owner > 0)
            processes.push_back(ProcessId{r.owner, r.ownerStart});
    }
    return processes;
}

bool ConnectionRegistry::writeRecord(const LineRecord& record) {
    const QByteArray temp =
        path(".tmp-" + QByteArray::number(m_pid) + '-' + QByteArray::number(++m_tempCounter));
    const int fd = ::open(temp.constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
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

const LineRecord* ConnectionRegistry::find(CallId handle) const {
    for (const LineRecord& r : m_records)
        if (r.handle == handle) return &r;
    return nullptr;
}

bool ConnectionRegistry::needsPruning(const LineRecord& record, std::int64_t& now) const {
    if (record.established()) {
        if (record.holderGone) return true;
        if (record.dropAt == 0) return false;
        if (now < 0) now = nowMs();
        return now >= record.dropAt;
    }
    return record.owner != m_pid && (record.ownerGone || record.owner <= 0);
}

void ConnectionRegistry::noteOwnLimit(LineRecord& record) const {
    // Only pppd's parent, the process that dialled, learns how it ended.
    if (record.owner != m_pid || record.holderKind != "pppd") return;
    const std::optional<int> code = adoptedChildExit(static_cast<pid_t>(record.holder));
    if (!code || !PppdLink::endedByOwnLimit(*code)) return;
    record.error = dialup_error::LimitReached;
    record.detail = PppdLink::exitText(*code).toUtf8();
}

bool ConnectionRegistry::prune() {
    std::int64_t now = -1;
    std::vector<CallId> due;
    for (const LineRecord& r : m_records)
        if (needsPruning(r, now)) due.push_back(r.handle);
    if (due.empty()) return true;
    if (!lock(true)) return true;
    bool changed = false;
    for (const CallId handle : due) {
        // As it stands now, under the lock: someone else may have been first.
        LineRecord r;
        if (readRecord(handle, r) != Read::Done) continue;
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
    if (changed) bumpGeneration(due);
    m_dirty.insert(due.begin(), due.end());
    const bool read = readLocked();
    unlock();
    return read;
}

CallId ConnectionRegistry::add(LineRecord& record) {
    if (!ensureCurrent() || !lock(true)) return 0;
    // A call missing from the list could be given a second call on its modem.
    if (!readLocked()) {
        unlock();
        return 0;
    }
    // Temporary files left by a writer that died: nobody writes while we hold the lock.
    if (DIR* dir = ::opendir(m_folderBytes.constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strncmp(e->d_name, ".tmp-", 5) == 0) ::unlink(path(e->d_name).constData());
        ::closedir(dir);
    }
    std::int64_t now = -1;
    const bool deviceInUse = std::any_of(m_records.begin(), m_records.end(), [&](LineRecord r) {
        if (r.ended() || r.device != record.device) return false;
        // A line whose holder has ended holds no modem, noticed or not.
        noteEndedProcesses(r);
        return !needsPruning(r, now);
    });
    const CallId handle = allocateHandle(m_records);
    record.handle = handle;
    record.owner = m_pid;
    record.ownerStart = processStartTime(m_pid);
    if (deviceInUse) record.error = dialup_error::PortNotAvailable;
    const bool written = writeRecord(record);
    if (written)
        bumpGeneration({handle});
    else
        m_problem = QStringLiteral("cannot write in %1: %2")
                        .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
    unlock();
    return written ? handle : 0;
}

ConnectionRegistry::Change ConnectionRegistry::modify(CallId handle,
                                                      const std::function<bool(LineRecord&)>& edit,
                                                      LineRecord* after) {
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    LineRecord r;
    if (const Read read = readRecord(handle, r); read != Read::Done) {
        unlock();
        return read == Read::Failed ? Change::Unavailable : Change::Gone;
    }
    Change result = Change::Done;
    if (edit(r)) {
        if (writeRecord(r))
            bumpGeneration({handle});
        else
            result = Change::Unavailable;
    }
    unlock();
    if (after) *after = std::move(r);
    return result;
}

void ConnectionRegistry::endHolder(const LineRecord& record, int signal) {
    if (!holderAlive(record)) return;
    ::kill(static_cast<pid_t>(record.holder), signal);
}

ConnectionRegistry::Change ConnectionRegistry::remove(CallId handle) {
    if (handle == 0) return Change::Gone;
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    // The process that holds the line ends it: pppd ends the link and drops
    // DTR, the emulator hangs up.
    LineRecord held;
    if (readRecord(handle, held) == Read::Done) endHolder(held, SIGTERM);
    const bool removed = ::unlink(path(recordName(handle)).constData()) == 0;
    const int why = errno;
    if (removed) bumpGeneration({handle});
    unlock();
    if (removed) return Change::Done;
    return why == ENOENT ? Change::Gone : Change::Unavailable;
}

ConnectionRegistry::Change ConnectionRegistry::endByProvider(CallId handle) {
    if (!ensureCurrent() || !lock(true)) return Change::Unavailable;
    LineRecord r;
    if (readRecord(handle, r) != Read::Done || r.ended()) {
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
    if (done) bumpGeneration({handle});
    unlock();
    return done ? Change::Done : Change::Unavailable;
}

bool ConnectionRegistry::callFindsBusy(const QByteArray& line, int busyTimes) {
    if (busyTimes <= 0 || !ensureCurrent() || !lock(true)) return false;
    char name[40];
    std::snprintf(name, sizeof name, "line-%016llx", static_cast<unsigned long long>(fnv1a(line)));
    const QByteArray file = path(name);
    QByteArray text;
    const int answered = readSmallFile(file, text, 64) == Read::Done ? text.trimmed().toInt() : 0;
    const bool busy = answered < busyTimes;
    if (busy) {
        const QByteArray temp =
            path(".tmp-" + QByteArray::number(m_pid) + '-' + QByteArray::number(++m_tempCounter));
        const int fd =
            ::open(temp.constData(),
                   O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
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
