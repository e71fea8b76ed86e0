#include "dialup/phonebook/RegistryWakeups.h"

#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <set>

namespace obu {

namespace {

int openPidfd(std::int64_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

RegistryWakeups::RegistryWakeups(QObject* parent) : QObject(parent) {}

RegistryWakeups::~RegistryWakeups() {
    closeFolder();
    for (auto& [pid, watched] : processes_) {
        watched.notifier.reset();
        ::close(watched.fd);
    }
}

void RegistryWakeups::closeFolder() {
    folderNotifier_.reset();
    if (inotifyFd_ >= 0) ::close(inotifyFd_);
    inotifyFd_ = -1;
}

bool RegistryWakeups::watchFolder(const QByteArray& folder) {
    closeFolder();
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return false;
    // Records are written under a temporary name and renamed into place, and
    // removed by unlinking: those two events are every change of a call.
    if (::inotify_add_watch(fd, folder.constData(),
                            IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                IN_DONT_FOLLOW) < 0) {
        ::close(fd);
        return false;
    }
    inotifyFd_ = fd;
    folderNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(folderNotifier_.get(), &QSocketNotifier::activated, this,
            &RegistryWakeups::onFolderEvent);
    return true;
}

void RegistryWakeups::onFolderEvent() {
    alignas(inotify_event) char buffer[4096];
    bool records = false;
    bool folderGone = false;
    for (;;) {
        const ssize_t n = ::read(inotifyFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) {
                folderGone = folderGone || !(event->mask & IN_Q_OVERFLOW);
                records = true;
            } else if (event->len > 0 && std::strncmp(event->name, "conn-", 5) == 0) {
                records = true;
            }
        }
    }
    // A folder removed or moved away is watched again by the caller's next
    // look at the registry, which makes it anew.
    if (folderGone) closeFolder();
    if (records) emit woken();
}

void RegistryWakeups::watchProcesses(const std::vector<ProcessId>& processes) {
    std::set<std::int64_t> wanted;
    for (const ProcessId& p : processes)
        if (p) wanted.insert(p.pid);
    for (auto it = processes_.begin(); it != processes_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        it->second.notifier.reset();
        ::close(it->second.fd);
        it = processes_.erase(it);
    }
    bool endedAlready = false;
    for (const ProcessId& p : processes) {
        if (!p || processes_.count(p.pid)) continue;
        const int fd = openPidfd(p.pid);
        if (fd < 0) {
            // Gone already; without pidfds at all the slow checks notice.
            endedAlready = endedAlready || errno == ESRCH;
            continue;
        }
        // The id may have been reused since the record was written: the
        // descriptor then names another process, and ours has ended.
        if (!processAlive(p)) {
            ::close(fd);
            endedAlready = true;
            continue;
        }
        Watched& watched = processes_[p.pid];
        watched.fd = fd;
        watched.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        const std::int64_t pid = p.pid;
        connect(watched.notifier.get(), &QSocketNotifier::activated, this,
                [this, pid] { onProcessEnded(pid); });
    }
    if (endedAlready)
        QMetaObject::invokeMethod(this, &RegistryWakeups::woken, Qt::QueuedConnection);
}

void RegistryWakeups::onProcessEnded(std::int64_t pid) {
    // A pidfd stays readable for good once its process has ended: it is
    // closed here, and the caller's next list of processes leaves it out.
    auto it = processes_.find(pid);
    if (it != processes_.end()) {
        it->second.notifier->setEnabled(false);
        it->second.notifier.release()->deleteLater();
        ::close(it->second.fd);
        processes_.erase(it);
    }
    emit woken();
}

}  // namespace obu
