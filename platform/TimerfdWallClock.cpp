#include "platform/TimerfdWallClock.h"

#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <vector>

#include "platform/Dispatcher.h"
#include "platform/EventLoop.h"

namespace obu {
namespace {

// A moment no alarm text can name (the year 9999): the timer then waits for a
// change of the clock alone.
constexpr time_t kNever = 253402300799;
// Without a timerfd the wait looks again at least once a minute, so a set
// clock is still noticed.
constexpr qint64 kFallbackMs = 60000;

}  // namespace

struct TimerfdWallClock::Wait {
    Wait(EventLoop& ownLoop, std::function<void()> wake) : loop(ownLoop), onWake(std::move(wake)) {}
    ~Wait() {
        notifier.reset();
        if (fd >= 0) ::close(fd);
        if (fallback) loop.stopTimer(fallback);
    }
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;

    EventLoop& loop;
    std::function<void()> onWake;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    EventLoop::TimerId fallback = 0;
};

TimerfdWallClock::TimerfdWallClock(EventLoop& loop, QStringList zoneFiles)
    : m_loop(loop), m_zoneFiles(std::move(zoneFiles)) {}

TimerfdWallClock::~TimerfdWallClock() {
    m_waits.clear();
    if (m_zoneFd >= 0) ::close(m_zoneFd);
}

QStringList TimerfdWallClock::zoneFilesOfEnvironment() {
    // The C library reads a zone named by TZ once and keeps it for the run;
    // without TZ it looks at /etc/localtime again at each conversion.
    if (qEnvironmentVariableIsSet("TZ")) return {};
    return {QStringLiteral("/etc/localtime")};
}

WallClock::WaitId TimerfdWallClock::waitUntil(const QDateTime& moment,
                                              std::function<void()> onWake) {
    watchZone();
    const WaitId id = m_nextId++;
    auto wait = std::make_unique<Wait>(m_loop, std::move(onWake));
    if (arm(*wait, moment)) {
        connect(wait->notifier.get(), &QSocketNotifier::activated, this, [this, id] { end(id); });
    } else {
        armFallback(id, *wait, moment);
    }
    m_waits[id] = std::move(wait);
    return id;
}

bool TimerfdWallClock::arm(Wait& wait, const QDateTime& moment) {
    wait.fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (wait.fd < 0) return false;
    itimerspec expiry{};
    if (moment.isValid()) {
        // Zero would disarm the timer; a moment long past is due at once all the same.
        const qint64 ms = std::max<qint64>(moment.toMSecsSinceEpoch(), 1);
        expiry.it_value.tv_sec = static_cast<time_t>(ms / 1000);
        expiry.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    } else {
        expiry.it_value.tv_sec = kNever;
    }
    if (timerfd_settime(wait.fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) !=
        0) {
        ::close(wait.fd);
        wait.fd = -1;
        return false;
    }
    wait.notifier = std::make_unique<QSocketNotifier>(wait.fd, QSocketNotifier::Read);
    return true;
}

void TimerfdWallClock::armFallback(WaitId id, Wait& wait, const QDateTime& moment) {
    qint64 ms = kFallbackMs;
    if (moment.isValid())
        ms = std::clamp<qint64>(QDateTime::currentDateTime().msecsTo(moment), 0, kFallbackMs);
    wait.fallback = m_loop.startTimer(static_cast<int>(ms), [this, id] { end(id); });
}

void TimerfdWallClock::cancel(WaitId id) {
    m_waits.erase(id);
}

void TimerfdWallClock::end(WaitId id) {
    const auto it = m_waits.find(id);
    if (it == m_waits.end()) return;
    const std::function<void()> onWake = std::move(it->second->onWake);
    if (QSocketNotifier* notifier = it->second->notifier.release()) {
        // It may be ending from inside its own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_waits.erase(it);
    if (Dispatcher* dispatcher = m_loop.dispatcher())
        dispatcher->run(onWake);
    else
        onWake();
}

void TimerfdWallClock::watchZone() {
    if (m_zoneFd >= 0 || m_zoneFiles.isEmpty()) return;
    m_zoneFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_zoneFd < 0) return;  // then only the clock's own changes wake the waits
    // The files themselves, not their folders, so that nothing else in /etc
    // wakes the program: the link (a new zone replaces it) and the file it
    // points to (an update of the zone data replaces that).
    constexpr std::uint32_t kChanged =
        IN_ATTRIB | IN_CLOSE_WRITE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;
    for (const QString& file : m_zoneFiles) {
        const QFileInfo info(file);
        int watch = inotify_add_watch(m_zoneFd, QFile::encodeName(file).constData(),
                                      kChanged | IN_DONT_FOLLOW);
        if (watch >= 0) {
            m_zoneNames[watch] = QString();
        } else {
            // Not there (yet): its folder says when it comes.
            watch = inotify_add_watch(m_zoneFd, QFile::encodeName(info.absolutePath()).constData(),
                                      IN_CREATE | IN_MOVED_TO);
            if (watch >= 0) m_zoneNames[watch] = info.fileName();
        }
        const QString target = info.canonicalFilePath();
        if (target.isEmpty() || target == file) continue;
        watch = inotify_add_watch(m_zoneFd, QFile::encodeName(target).constData(), kChanged);
        if (watch >= 0) m_zoneNames[watch] = QString();
    }
    m_zoneNotifier = new QSocketNotifier(m_zoneFd, QSocketNotifier::Read, this);
    connect(m_zoneNotifier, &QSocketNotifier::activated, this, &TimerfdWallClock::onZoneEvent);
}

void TimerfdWallClock::onZoneEvent() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (ssize_t n; (n = ::read(m_zoneFd, buffer, sizeof buffer)) > 0;) {
        for (const char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            const auto watched = m_zoneNames.find(event->wd);
            if (event->mask & IN_Q_OVERFLOW) changed = true;
            // A file's own watch, or the name awaited in a folder.
            if (watched != m_zoneNames.end() &&
                (watched->second.isEmpty() ||
                 (event->len && watched->second == QFile::decodeName(event->name))))
                changed = true;
            p += sizeof(inotify_event) + event->len;
        }
    }
    if (!changed) return;
    // The link may point elsewhere now: watch afresh what it points to.
    m_zoneNotifier->setEnabled(false);
    m_zoneNotifier->deleteLater();
    m_zoneNotifier = nullptr;
    ::close(m_zoneFd);
    m_zoneFd = -1;
    m_zoneNames.clear();
    watchZone();
    std::vector<WaitId> ids;
    for (const auto& entry : m_waits) ids.push_back(entry.first);
    for (WaitId id : ids) end(id);
}

}  // namespace obu
