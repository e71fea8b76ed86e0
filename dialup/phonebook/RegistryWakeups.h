#pragma once
#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "dialup/modem/Processes.h"

class QSocketNotifier;

namespace obu {

// Wakes this process when the registry folder may have changed under it: a
// record written or removed by any process (inotify on the folder), or a
// process that a record depends on ended (a pidfd of each, readable once the
// process has exited). Nothing here polls; between changes the process sleeps.
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
    bool watchingFolder() const { return inotifyFd_ >= 0; }
    // Watches exactly these processes from now on. A process that has already
    // ended (or whose id now names another process) wakes at once.
    void watchProcesses(const std::vector<ProcessId>& processes);

signals:
    // A record may have changed, or a watched process has ended.
    void woken();

private:
    struct Watched {
        int fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    void onFolderEvent();
    void onProcessEnded(std::int64_t pid);
    void closeFolder();

    int inotifyFd_ = -1;
    std::unique_ptr<QSocketNotifier> folderNotifier_;
    std::map<std::int64_t, Watched> processes_;
};

}  // namespace obu
