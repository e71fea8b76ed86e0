// Telling the listeners of every change of a call: what wakes the service (the
// registry folder, the processes behind calls, a provider's deadline) and the
// announcements made after a look at the registry.
#include "dialup/phonebook/LineService.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaMethod>
#include <QPointer>
#include <algorithm>
#include <iterator>

#include "dialup/phonebook/RegistryWakeups.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"

namespace obu {

void LineService::connectNotify(const QMetaMethod& signal) {
    if (m_listening || (signal != QMetaMethod::fromSignal(&DialUpService::callsChanged) &&
                        signal != QMetaMethod::fromSignal(&DialUpService::callEnded)))
        return;
    m_listening = true;
    // What is there now is no news to the new listener, which looks for itself.
    m_registry.refresh();
    m_announcedGeneration = m_registry.readGeneration();
    m_announcedCalls = openCalls();
    watchWhatCallsDependOn();
}

void LineService::scheduleLook() {
    if (!m_listening || m_lookScheduled) return;
    m_lookScheduled = true;
    QPointer<LineService> self(this);
    m_loop.post([self] {
        if (self) self->lookAgain();
    });
}

void LineService::lookAgain() {
    // Cleared first: a listener that changes a call again is heard too.
    m_lookScheduled = false;
    if (!m_registry.refresh()) {
        // Records that cannot be read prove no call's end: nothing is
        // announced, and the service looks again in a while.
        if (!m_retryTimer)
            m_retryTimer = m_loop.startTimer(1000, [this] {
                m_loop.stopTimer(m_retryTimer);
                m_retryTimer = 0;
                scheduleLook();
            });
        return;
    }
    watchWhatCallsDependOn();
    const std::uint64_t generation = m_registry.readGeneration();
    if (generation == m_announcedGeneration) return;
    m_announcedGeneration = generation;
    std::vector<CallId> open = openCalls();
    std::vector<CallId> gone;
    std::set_difference(m_announcedCalls.begin(), m_announcedCalls.end(), open.begin(), open.end(),
                        std::back_inserter(gone));
    std::vector<std::pair<CallId, DialUpError>> ended;
    for (const CallId id : gone) {
        const LineRecord* r = m_registry.find(id);
        ended.emplace_back(id, r ? r->error : dialup_error::None);
    }
    m_announcedCalls = std::move(open);
    QPointer<LineService> self(this);
    for (const auto& [id, error] : ended) {
        emit callEnded(id, error);
        if (!self) return;
    }
    emit callsChanged();
}

std::vector<CallId> LineService::openCalls() const {
    std::vector<CallId> open;
    open.reserve(m_registry.records().size());
    for (const LineRecord& r : m_registry.records())
        if (!r.ended()) open.push_back(r.handle);
    std::sort(open.begin(), open.end());
    return open;
}

void LineService::watchWhatCallsDependOn() {
    // Other processes' changes arrive through the Qt event loop; a program
    // without one (a command-line tool) never listens.
    if (!m_wakeups && QCoreApplication::instance()) {
        m_wakeups = std::make_unique<RegistryWakeups>();
        QObject::connect(m_wakeups.get(), &RegistryWakeups::woken, this, [this] {
            m_registry.folderChanged();
            scheduleLook();
        });
        QObject::connect(m_wakeups.get(), &RegistryWakeups::processEnded, this, [this](qint64 pid) {
            m_registry.processEnded(pid);
            scheduleLook();
        });
        // A look after a change then reads the records that changed alone.
        m_registry.setChangedRecords([wakeups = m_wakeups.get()](std::set<CallId>& changed) {
            return wakeups->takeChangedRecords(changed);
        });
    }
    const std::uint64_t generation = m_registry.readGeneration();
    if (m_wakeups) {
        if (!m_wakeups->watchingFolder())
            m_wakeups->watchFolder(QFile::encodeName(m_registry.folder()));
        if (generation != m_watchedGeneration &&
            m_wakeups->watchProcesses(m_registry.processesToWatch()))
            m_registry.setWatchedProcesses(m_wakeups->watchedProcesses());
    }
    m_watchedGeneration = generation;
    // A provider that hangs up by a deadline of its own tells no one: the
    // service looks when the deadline falls due.
    const std::int64_t dropAt = m_registry.nextDropAt();
    if (dropAt == m_deadlineAt) return;
    if (m_deadlineTimer) m_loop.stopTimer(m_deadlineTimer);
    m_deadlineTimer = 0;
    m_deadlineAt = dropAt;
    if (dropAt == 0) return;
    const std::int64_t wait = std::max<std::int64_t>(0, dropAt - m_clock.now().toMSecsSinceEpoch());
    m_deadlineTimer =
        m_loop.startTimer(static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)), [this] {
            m_loop.stopTimer(m_deadlineTimer);
            m_deadlineTimer = 0;
            m_deadlineAt = 0;
            scheduleLook();
        });
}

}  // namespace obu
