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
    if (listening_ || (signal != QMetaMethod::fromSignal(&DialUpService::callsChanged) &&
                       signal != QMetaMethod::fromSignal(&DialUpService::callEnded)))
        return;
    listening_ = true;
    // What is there now is no news to the new listener, which looks for itself.
    registry_.refresh();
    announcedGeneration_ = registry_.readGeneration();
    announcedCalls_ = openCalls();
    watchWhatCallsDependOn();
}

void LineService::scheduleLook() {
    if (!listening_ || lookScheduled_) return;
    lookScheduled_ = true;
    QPointer<LineService> self(this);
    loop_.post([self] {
        if (self) self->lookAgain();
    });
}

void LineService::lookAgain() {
    // Cleared first: a listener that changes a call again is heard too.
    lookScheduled_ = false;
    if (!registry_.refresh()) {
        // Records that cannot be read prove no call's end: nothing is
        // announced, and the service looks again in a while.
        if (!retryTimer_)
            retryTimer_ = loop_.startTimer(1000, [this] {
                loop_.stopTimer(retryTimer_);
                retryTimer_ = 0;
                scheduleLook();
            });
        return;
    }
    watchWhatCallsDependOn();
    const std::uint64_t generation = registry_.readGeneration();
    if (generation == announcedGeneration_) return;
    announcedGeneration_ = generation;
    std::vector<CallId> open = openCalls();
    std::vector<CallId> gone;
    std::set_difference(announcedCalls_.begin(), announcedCalls_.end(), open.begin(), open.end(),
                        std::back_inserter(gone));
    std::vector<std::pair<CallId, DialUpError>> ended;
    for (const CallId id : gone) {
        const LineRecord* r = registry_.find(id);
        ended.emplace_back(id, r ? r->error : dialup_error::None);
    }
    announcedCalls_ = std::move(open);
    QPointer<LineService> self(this);
    for (const auto& [id, error] : ended) {
        emit callEnded(id, error);
        if (!self) return;
    }
    emit callsChanged();
}

std::vector<CallId> LineService::openCalls() const {
    std::vector<CallId> open;
    open.reserve(registry_.records().size());
    for (const LineRecord& r : registry_.records())
        if (!r.ended()) open.push_back(r.handle);
    std::sort(open.begin(), open.end());
    return open;
}

void LineService::watchWhatCallsDependOn() {
    // Other processes' changes arrive through the Qt event loop; a program
    // without one (a command-line tool) never listens.
    if (!wakeups_ && QCoreApplication::instance()) {
        wakeups_ = std::make_unique<RegistryWakeups>();
        QObject::connect(wakeups_.get(), &RegistryWakeups::woken, this, [this] {
            registry_.folderChanged();
            scheduleLook();
        });
        QObject::connect(wakeups_.get(), &RegistryWakeups::processEnded, this, [this](qint64 pid) {
            registry_.processEnded(pid);
            scheduleLook();
        });
        // A look after a change then reads the records that changed alone.
        registry_.setChangedRecords([wakeups = wakeups_.get()](std::set<CallId>& changed) {
            return wakeups->takeChangedRecords(changed);
        });
    }
    const std::uint64_t generation = registry_.readGeneration();
    if (wakeups_) {
        if (!wakeups_->watchingFolder())
            wakeups_->watchFolder(QFile::encodeName(registry_.folder()));
        if (generation != watchedGeneration_ &&
            wakeups_->watchProcesses(registry_.processesToWatch()))
            registry_.setWatchedProcesses(wakeups_->watchedProcesses());
    }
    watchedGeneration_ = generation;
    // A provider that hangs up by a deadline of its own tells no one: the
    // service looks when the deadline falls due.
    const std::int64_t dropAt = registry_.nextDropAt();
    if (dropAt == deadlineAt_) return;
    if (deadlineTimer_) loop_.stopTimer(deadlineTimer_);
    deadlineTimer_ = 0;
    deadlineAt_ = dropAt;
    if (dropAt == 0) return;
    const std::int64_t wait = std::max<std::int64_t>(0, dropAt - clock_.now().toMSecsSinceEpoch());
    deadlineTimer_ =
        loop_.startTimer(static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)), [this] {
            loop_.stopTimer(deadlineTimer_);
            deadlineTimer_ = 0;
            deadlineAt_ = 0;
            scheduleLook();
        });
}

}  // namespace obu
