#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "dialup/DialUpService.h"
#include "dialup/modem/LineDevice.h"
#include "dialup/modem/Processes.h"
#include "dialup/phonebook/LineRecord.h"
#include "dialup/phonebook/SafeMapping.h"

namespace obu {

class Clock;

// The connections of all the user's processes, kept in a small folder: one
// file per call, a lock, and a shared generation counter that every change
// moves, so that a process re-reads the folder only after a change.
//
// Layout of the folder (mode 0700, owned by the user):
//   state            4 KiB, mapped by every process: generation counter and
//                    the next handle; also the file that flock() guards
//   conn-XXXXXXXX    one call (handle in hex), key=value lines
//   line-XXXXXXXXXXXXXXXX  the busy answers a line gave in a row
//   .tmp-*           a record being written (renamed into place)
class ConnectionRegistry : public LineMemory {
public:
    ConnectionRegistry(QString folder, Clock& clock);
    ~ConnectionRegistry() override;
    ConnectionRegistry(const ConnectionRegistry&) = delete;
    ConnectionRegistry& operator=(const ConnectionRegistry&) = delete;

    const QString& folder() const { return m_folder; }
    // Why the folder cannot be used; empty when it can.
    const QString& problem() const { return m_problem; }

    // The calls as last read: re-read only when another change happened, then
    // pruned (dials and ended calls of processes that are gone; connections
    // that the provider has hung up by now). False when the folder cannot be
    // used or a record in it cannot be read (problem() says which): a list
    // that lacks a call would pass for that call's end.
    bool refresh();
    const std::vector<LineRecord>& records() const { return m_records; }
    const LineRecord* find(CallId handle) const;

    // Adds a call under a new handle. When another call in progress or up uses
    // the same device, the record is stored as failed with 633 instead.
    // Returns the handle, or 0 when the folder cannot be used.
    CallId add(LineRecord& record);

    enum class Change { Done, Gone, Unavailable };
    // Changes a call under the lock; edit returns false to leave it as it is.
    // after receives the record as it stands afterwards.
    Change modify(CallId handle, const std::function<bool(LineRecord&)>& edit,
                  LineRecord* after = nullptr);
    Change remove(CallId handle);
    // The provider hangs up: a connection ends (kept as ended with 629 while
    // its dialing process lives, so that process can still read why), and a
    // dial in progress fails with 629 at its current stage.
    Change endByProvider(CallId handle);

    bool callFindsBusy(const QByteArray& line, int busyTimes) override;

    // Called after every change that this object makes to the folder.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }
    // The shared counter that every change moves (0 while the folder is not open).
    std::uint64_t generation() const;
    // The counter as it stood when the records were last read: a change made
    // since then may not be in records() yet.
    std::uint64_t readGeneration() const { return m_cachedGeneration; }

    // Tells which records changed since it was last asked (their handles
    // added to the set), so that a look after a change reads those alone.
    // False when it cannot tell (the folder is not watched, or news was
    // lost): the whole folder is read then.
    using ChangedRecords = std::function<bool(std::set<CallId>&)>;
    void setChangedRecords(ChangedRecords source);
    // The processes whose end is told by processEnded() (something waits for
    // each of them); the others are looked at every 200 ms while needed.
    void setWatchedProcesses(std::vector<std::int64_t> pids);
    // The next refresh looks whether the calls that name this process still
    // have it.
    void processEnded(std::int64_t pid) { m_endedProcesses.insert(pid); }
    // Something in the folder changed. A writer renames its record into place
    // before it moves the counter, both under the lock: the next refresh
    // takes the lock to look, so that a change seen half done is not missed.
    void folderChanged() { m_folderChanged = true; }
    // The earliest moment at which the provider hangs up a line by itself
    // (milliseconds since the epoch; 0: none), as last read.
    std::int64_t nextDropAt() const;
    // The processes that the calls as last read depend on: the holders of
    // lines that are up and the other processes' dials.
    std::vector<ProcessId> processesToWatch() const;

    static QString defaultFolder();
    // Whether the process that holds a line still runs. A holder is trusted
    // only with its start time: a record could name any process of the user.
    static bool holderAlive(const LineRecord& record);

private:
    bool ensureOpen();
    // ensureOpen(), and the state file still the one mapped: a folder removed
    // (or its state file replaced or shrunk) is made and mapped afresh.
    bool ensureCurrent();
    void close();
    bool checkFolder();
    // Reads what changed since the last look (everything when that is not
    // known); false, with m_problem set, when a record cannot be read.
    // readLocked() is for a caller that holds the lock.
    bool reread();
    bool readLocked();
    bool readAll(std::vector<LineRecord>& out);
    // Reads the records named in m_dirty into m_records, all or none.
    bool readChanged();
    enum class Read { Done, Gone, NotARecord, Failed };
    // A regular file of at most limit bytes; Failed sets errno.
    static Read readSmallFile(const QByteArray& path, QByteArray& out, qsizetype limit);
    // Failed sets errno.
    Read readRecord(CallId handle, LineRecord& out) const;
    // Read, or for Failed m_problem set from errno.
    Read readRecordNoting(CallId handle, LineRecord& out);
    bool writeRecord(const LineRecord& record);
    // Moves the shared counter after a change of these records by this process.
    void bumpGeneration(const std::vector<CallId>& changed);
    // The next handle of the shared counter that no call in inUse has (never 0).
    CallId allocateHandle(const std::vector<LineRecord>& inUse);
    bool lock(bool exclusive);
    void unlock();
    bool ownerAlive(const LineRecord& record) const;
    // The process a call depends on: the holder of a line that is up, the
    // owner of another process's dial (0: none).
    std::int64_t processBehind(const LineRecord& record) const;
    void checkProcesses();
    // Marks a record whose holder (a line that is up) or owner (a dial) has ended.
    void noteEndedProcesses(LineRecord& record) const;
    static void endHolder(const LineRecord& record, int signal);
    bool needsPruning(const LineRecord& record, std::int64_t& now) const;
    // False when the look that follows cannot read the records.
    bool prune();
    // A held line whose pppd ended by a limit of the entry's own options is
    // marked so, not as hung up by the provider.
    void noteOwnLimit(LineRecord& record) const;
    std::int64_t nowMs() const;
    QByteArray path(const QByteArray& name) const;

    QString m_folder;
    QByteArray m_folderBytes;
    Clock& m_clock;
    QString m_problem;
    int m_stateFd = -1;
    SafeMapping m_mapping;
    void* m_shared = nullptr;
    std::uint64_t m_stateInode = 0;
    std::uint64_t m_stateDevice = 0;
    std::uint64_t m_cachedGeneration = 0;
    bool m_cacheValid = false;
    bool m_folderChanged = false;
    ChangedRecords m_changedRecords;
    // Records to read at the next look: named by m_changedRecords, or changed here.
    std::set<CallId> m_dirty;
    std::vector<std::int64_t> m_watchedProcesses;  // sorted
    std::set<std::int64_t> m_endedProcesses;
    // Records that must be looked at on every call (lines held by a process,
    // deadlines, dials): false lets a steady connection skip the scan.
    bool m_watch = false;
    // The holders and other processes' dials are checked every 200 ms.
    std::int64_t m_nextProcessCheck = 0;
    unsigned m_callsSinceCheck = 0;
    std::vector<LineRecord> m_records;
    std::int64_t m_pid;
    unsigned m_tempCounter = 0;
    mutable std::int64_t m_lastNow = 0;
    mutable std::uint32_t m_lastTick = 0;
    std::function<void()> m_onChange;
};

}  // namespace obu
