#pragma once
#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "dialup/modem/Processes.h"

class QSocketNotifier;

namespace obu {

// Wakes this process when the registry folder may have changed under it: a
// record written or removed by any process (inotify on the folder, which also
// names the records), or a process that a record depends on ended (a pidfd of
// each, readable once the process has exited, all in one epoll set so that
// the event loop waits on one descriptor however many there are). Nothing
// here polls; between changes the process sleeps.
//
// The wake-ups run on the Qt event loop of the thread that made the object.
class RegistryWakeups : public QObject {
    Q_OBJECT
public:
    explicit RegistryWakeups(QObject* parent = nullptr);
    ~RegistryWakeups() override;

    // Watches the folder for records coming and going; false when it cannot
    // (no such folder, no inotify): the caller's slow checks must do then.
    bool watchFolder(const QByteArray& folder);
    bool watchingFolder() const { return m_inotifyFd >= 0; }
    // The records written or removed since the last call, by handle (the
    // events waiting now included). False when that cannot be told: the
    // folder is not watched, events were lost, or the watch is new since the
    // last call; the caller then reads every record.
    bool takeChangedRecords(std::set<std::uint32_t>& changed);

    // Watches exactly these processes from now on. A process that has already
    // ended (or whose id now names another process) is told of at once.
    // False when the list is the one given last time, and nothing was done.
    bool watchProcesses(const std::vector<ProcessId>& processes);
    // The processes that a descriptor waits for now.
    std::vector<std::int64_t> watchedProcesses() const;

signals:
    // A record may have changed.
    void woken();
    // A watched process has ended.
    void processEnded(qint64 pid);

private:
    void onFolderEvent();
    // Reads the events waiting; true when a record changed.
    bool readEvents();
    void onProcessesEnded();
    // Waits for the process to end; false when it has ended already.
    bool watch(const ProcessId& process);
    void forget(std::map<std::int64_t, int>::iterator watched);
    void closeFolder();

    int m_inotifyFd = -1;
    std::set<std::uint32_t> m_changed;
    // Until the next takeChangedRecords(): changes may have gone unnamed.
    bool m_lost = true;
    std::unique_ptr<QSocketNotifier> m_folderNotifier;
    // The epoll set of the pidfds, and each process's pidfd.
    int m_epollFd = -1;
    std::unique_ptr<QSocketNotifier> m_processNotifier;
    std::map<std::int64_t, int> m_processes;
    std::vector<ProcessId> m_wanted;
};

}  // namespace obu
