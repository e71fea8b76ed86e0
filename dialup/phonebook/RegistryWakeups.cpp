#include "dialup/phonebook/RegistryWakeups.h"

#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

RegistryWakeups::RegistryWakeups(QObject* parent) : QObject(parent) {
    m_epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epollFd < 0) return;
    m_processNotifier = std::make_unique<QSocketNotifier>(m_epollFd, QSocketNotifier::Read);
    connect(m_processNotifier.get(), &QSocketNotifier::activated, this,
            &RegistryWakeups::onProcessesEnded);
}

RegistryWakeups::~RegistryWakeups() {
    closeFolder();
    m_processNotifier.reset();
    for (auto& [pid, fd] : m_processes) ::close(fd);
    if (m_epollFd >= 0) ::close(m_epollFd);
}

void RegistryWakeups::closeFolder() {
    m_folderNotifier.reset();
    if (m_inotifyFd >= 0) ::close(m_inotifyFd);
    m_inotifyFd = -1;
}

bool RegistryWakeups::watchFolder(const QByteArray& folder) {
    closeFolder();
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return false;
    // Records are written under a temporary name and renamed into place, and
    // removed by unlinking; a record written in place by hand is closed after
    // writing. Each event names the record.
    if (::inotify_add_watch(fd, folder.constData(),
                            IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CLOSE_WRITE |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW) < 0) {
        ::close(fd);
        return false;
    }
    m_inotifyFd = fd;
    // What changed before the watch began is known to nobody here.
    m_lost = true;
    m_folderNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_folderNotifier.get(), &QSocketNotifier::activated, this,
            &RegistryWakeups::onFolderEvent);
    return true;
}

bool RegistryWakeups::readEvents() {
    alignas(inotify_event) char buffer[4096];
    bool records = false;
    bool folderGone = false;
    for (;;) {
        const ssize_t n = ::read(m_inotifyFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) {
                folderGone = folderGone || !(event->mask & IN_Q_OVERFLOW);
                m_lost = true;
                records = true;
            } else if (event->len > 0 && std::strncmp(event->name, "conn-", 5) == 0) {
                char* end = nullptr;
                const unsigned long handle = std::strtoul(event->name + 5, &end, 16);
                if (*end == 0 && std::strlen(event->name) == 13 && handle <= 0xFFFFFFFFul)
                    m_changed.insert(static_cast<std::uint32_t>(handle));
                records = true;
            }
        }
    }
    // A folder removed or moved away is watched again by the caller's next
    // look at the registry, which makes it anew.
    if (folderGone) closeFolder();
    return records;
}

void RegistryWakeups::onFolderEvent() {
    if (readEvents()) emit woken();
}

bool RegistryWakeups::takeChangedRecords(std::set<std::uint32_t>& changed) {
    // Events read here are not seen by the notifier: their wake-up is sent
    // from here, so that the change is still announced.
    if (m_inotifyFd >= 0 && readEvents())
        QMetaObject::invokeMethod(this, &RegistryWakeups::woken, Qt::QueuedConnection);
    const bool known = m_inotifyFd >= 0 && !m_lost;
    if (known) changed.insert(m_changed.begin(), m_changed.end());
    m_changed.clear();
    m_lost = false;
    return known;
}

void RegistryWakeups::forget(std::map<std::int64_t, int>::iterator watched) {
    // Closing the pidfd takes it out of the epoll set as well.
    ::close(watched->second);
    m_processes.erase(watched);
}

bool RegistryWakeups::watchProcesses(const std::vector<ProcessId>& processes) {
    // Most changes of a call leave its processes as they were.
    std::vector<ProcessId> wanted;
    wanted.reserve(processes.size());
    for (const ProcessId& p : processes)
        if (p) wanted.push_back(p);
    std::sort(wanted.begin(), wanted.end(), [](const ProcessId& a, const ProcessId& b) {
        return a.pid != b.pid ? a.pid < b.pid : a.start < b.start;
    });
    const auto same = [](const ProcessId& a, const ProcessId& b) {
        return a.pid == b.pid && a.start == b.start;
    };
    if (std::equal(wanted.begin(), wanted.end(), m_wanted.begin(), m_wanted.end(), same))
        return false;
    m_wanted = std::move(wanted);
    const auto isWanted = [this](std::int64_t pid) {
        return std::binary_search(
            m_wanted.begin(), m_wanted.end(), ProcessId{pid, 0},
            [](const ProcessId& a, const ProcessId& b) { return a.pid < b.pid; });
    };
    for (auto it = m_processes.begin(); it != m_processes.end();) {
        const auto next = std::next(it);
        if (!isWanted(it->first)) forget(it);
        it = next;
    }
    std::vector<std::int64_t> endedAlready;
    for (const ProcessId& p : m_wanted) {
        if (m_processes.count(p.pid) || m_epollFd < 0) continue;
        if (!watch(p)) endedAlready.push_back(p.pid);
    }
    for (const std::int64_t pid : endedAlready)
        QMetaObject::invokeMethod(
            this, [this, pid] { emit processEnded(pid); }, Qt::QueuedConnection);
    return true;
}

bool RegistryWakeups::watch(const ProcessId& process) {
    const int fd = openPidfd(process.pid);
    // Gone already; without pidfds (or descriptors) the slow checks notice.
    if (fd < 0) return errno != ESRCH;
    // The id may have been reused since the record was written: the
    // descriptor then names another process, and ours has ended.
    const bool alive = processAlive(process);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = static_cast<std::uint64_t>(process.pid);
    if (!alive || ::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) != 0) {
        ::close(fd);
        return alive;
    }
    m_processes[process.pid] = fd;
    return true;
}

std::vector<std::int64_t> RegistryWakeups::watchedProcesses() const {
    std::vector<std::int64_t> pids;
    pids.reserve(m_processes.size());
    for (const auto& [pid, fd] : m_processes) pids.push_back(pid);
    return pids;
}

void RegistryWakeups::onProcessesEnded() {
    // A pidfd stays readable for good once its process has ended: it is
    // closed here, and the caller's next list of processes leaves it out.
    epoll_event events[64];
    const int n = ::epoll_wait(m_epollFd, events, 64, 0);
    std::vector<std::int64_t> ended;
    for (int i = 0; i < n; ++i) {
        const auto pid = static_cast<std::int64_t>(events[i].data.u64);
        const auto it = m_processes.find(pid);
        if (it != m_processes.end()) forget(it);
        ended.push_back(pid);
    }
    QPointer<RegistryWakeups> self(this);
    for (const std::int64_t pid : ended) {
        emit processEnded(pid);
        if (!self) return;
    }
}

}  // namespace obu
