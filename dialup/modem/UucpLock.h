#pragma once
#include <sys/types.h>

#include <QByteArray>
#include <QString>

namespace obu {

// The UUCP lock of a serial device, the convention that pppd, minicom, cu and
// the other Linux dialers honour: a file LCK..<device's base name> in the lock
// folder holding the owner's pid as ten ASCII characters and a line feed.
// A lock whose owner has died is stale and is taken over.
//
// The lock folder is shared by every user (/var/lock is world-writable and
// sticky), so nothing is ever opened there for writing but a file made
// exclusively under a name nobody can guess (O_EXCL|O_NOFOLLOW), then linked
// or renamed into place; a lock that is a link or anything but a regular
// file is refused, and a lock is rewritten or removed only while it is our
// own file still naming the process we hold it for.
class UucpLock {
public:
    enum class Result {
        Taken,     // the lock is ours
        InUse,     // a live process holds it (holder() says which)
        NoFolder,  // the lock folder is missing or not writable: no lock is possible
        Failed,    // the lock could not be written
        NotAFile,  // the lock's name is taken by a link, a folder or a device
    };

    UucpLock() = default;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    // Releases a lock still held.
    ~UucpLock();

    // $OBU_LOCK_DIR when set, else /var/lock.
    static QString defaultFolder();
    // The lock file of a device in a folder.
    static QByteArray lockPath(const QString& folder, const QByteArray& device);
    // The live process that holds a lock file, or 0 (none, unreadable or
    // stale). A lock naming a process that has ended is removed.
    static pid_t owner(const QByteArray& lockFile);

    // Removes a lock file that names pid (a holder that has ended).
    static void removeIfHeldBy(const QByteArray& lockFile, pid_t pid);
    // Removes a lock file of ours that names pid, dead or alive (a holder on
    // its way out removing its own lock).
    static void removeOwn(const QByteArray& lockFile, pid_t pid);
    // The pid that a lock's text names, 0 for none: ten ASCII characters and
    // a line feed, or in very old files a binary int of four bytes.
    static pid_t parsePid(const QByteArray& text);

    Result acquire(const QString& folder, const QByteArray& device);
    // The process that held the lock when acquire() returned InUse.
    pid_t holder() const { return m_holder; }
    // Writes another pid into our lock: the process that holds the line from
    // now on (pppd or the modem emulator), so that the lock is stale exactly
    // when that process ends. The file stays where it is; release() removes it
    // only while it still names that process or us.
    bool handOver(pid_t pid);
    // Removes the lock file when it still names us (or the process we handed it
    // to); a lock taken over by someone else meanwhile is left alone.
    void release();
    // Forgets the lock without removing it (it belongs to another process now).
    void detach();
    bool held() const { return !m_path.isEmpty(); }
    const QByteArray& path() const { return m_path; }

private:
    QByteArray m_path;
    pid_t m_pid = 0;
    pid_t m_holder = 0;
};

}  // namespace obu
