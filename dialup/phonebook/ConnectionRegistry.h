#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
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

    const QString& folder() const { return folder_; }
    // Why the folder cannot be used; empty when it can.
    const QString& problem() const { return problem_; }

    // The calls as last read: re-read only when another change happened, then
    // pruned (dials and ended calls of processes that are gone; connections
    // that the provider has hung up by now). False when the folder cannot be used.
    bool refresh();
    const std::vector<LineRecord>& records() const { return records_; }
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
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    // The shared counter that every change moves (0 while the folder is not open).
    std::uint64_t generation() const;
    // The next refresh looks at once whether the processes behind calls still run.
    void recheckProcesses() { nextProcessCheck_ = 0; }
    // The earliest moment at which the provider hangs up a line by itself
    // (milliseconds since the epoch; 0: none), as last read.
    std::int64_t nextDropAt() const;
    // The processes that the calls as last read depend on: the holders of
    // lines that are up and the other processes' dials.
    std::vector<ProcessId> processesToWatch() const;

    static QString defaultFolder();

private:
    bool ensureOpen();
    // ensureOpen(), and the state file still the one mapped: a folder removed
    // (or its state file replaced or shrunk) is made and mapped afresh.
    bool ensureCurrent();
    void close();
    bool checkFolder();
    void reread();
    std::vector<LineRecord> readAll() const;
    bool readRecord(CallId handle, LineRecord& out) const;
    bool writeRecord(const LineRecord& record);
    void bumpGeneration();
    // The next handle of the shared counter that no call in inUse has (never 0).
    CallId allocateHandle(const std::vector<LineRecord>& inUse);
    bool lock(bool exclusive);
    void unlock();
    bool ownerAlive(const LineRecord& record) const;
    void checkProcesses();
    // Marks a record whose holder (a line that is up) or owner (a dial) has ended.
    void noteEndedProcesses(LineRecord& record) const;
    static void endHolder(const LineRecord& record, int signal);
    bool needsPruning(const LineRecord& record, std::int64_t& now) const;
    void prune();
    // A held line whose pppd ended by a limit of the entry's own options is
    // marked so, not as hung up by the provider.
    void noteOwnLimit(LineRecord& record) const;
    std::int64_t nowMs() const;
    QByteArray path(const QByteArray& name) const;

    QString folder_;
    QByteArray folderBytes_;
    Clock& clock_;
    QString problem_;
    int stateFd_ = -1;
    SafeMapping mapping_;
    void* shared_ = nullptr;
    std::uint64_t stateInode_ = 0;
    std::uint64_t stateDevice_ = 0;
    std::uint64_t cachedGeneration_ = 0;
    bool cacheValid_ = false;
    // Records that must be looked at on every call (lines held by a process,
    // deadlines, dials): false lets a steady connection skip the scan.
    bool watch_ = false;
    // The holders and other processes' dials are checked every 200 ms.
    std::int64_t nextProcessCheck_ = 0;
    unsigned callsSinceCheck_ = 0;
    std::vector<LineRecord> records_;
    std::int64_t pid_;
    unsigned tempCounter_ = 0;
    mutable std::int64_t lastNow_ = 0;
    mutable std::uint32_t lastTick_ = 0;
    std::function<void()> onChange_;
};

}  // namespace obu
