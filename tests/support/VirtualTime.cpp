#include "tests/support/VirtualTime.h"

#include <algorithm>
#include <limits>

namespace obu::test {

VirtualTime::VirtualTime(QDateTime start)
    : start_(std::move(start)), thread_(std::this_thread::get_id()) {}

QDateTime VirtualTime::now() const {
    return start_.addMSecs(elapsed_ + wallOffset_);
}

std::uint32_t VirtualTime::millisecondsSinceStart() const {
    return tickOrigin_ + static_cast<std::uint32_t>(elapsed_);
}

void VirtualTime::sleep(int ms) {
    if (ms > 0) elapsed_ += ms;
}

EventLoop::TimerId VirtualTime::startTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, kMinimumTimerMs), std::move(onTick));
}

EventLoop::TimerId VirtualTime::startFineTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, 1), std::move(onTick));
}

EventLoop::TimerId VirtualTime::addTimer(int interval, std::function<void()> onTick) {
    const TimerId id = nextId_++;
    timers_[id] = Timer{interval, elapsed_ + interval, nextOrder_++, std::move(onTick)};
    return id;
}

void VirtualTime::stopTimer(TimerId id) {
    timers_.erase(id);
}

WallClock::WaitId VirtualTime::waitUntil(const QDateTime& moment, std::function<void()> onWake) {
    const TimerId id = nextId_++;
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    if (moment.isValid())
        due = std::max<std::int64_t>(elapsed_, start_.msecsTo(moment) - wallOffset_);
    timers_[id] = Timer{0, due, nextOrder_++, std::move(onWake)};
    return id;
}

void VirtualTime::cancel(WaitId id) {
    timers_.erase(id);
}

void VirtualTime::setWallClock(const QDateTime& moment) {
    wallOffset_ += now().msecsTo(moment);
    for (auto& [id, timer] : timers_)
        if (timer.interval == 0) timer.due = elapsed_;
}

void VirtualTime::post(std::function<void()> fn) {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
}

void VirtualTime::runPosted() {
    // Bounded, so a handler that keeps posting cannot hang a test.
    for (int guard = 0; guard < 100000; ++guard) {
        std::function<void()> fn;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty()) return;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        dispatch(fn);
    }
}

void VirtualTime::processMessages() {
    runPosted();
    while (fireNextDue(elapsed_)) runPosted();
}

bool VirtualTime::inLoopThread() const {
    return std::this_thread::get_id() == thread_;
}

bool VirtualTime::fireNextDue(std::int64_t limit) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due > limit) continue;
        if (next == timers_.end() || it->second.due < next->second.due ||
            (it->second.due == next->second.due && it->second.order < next->second.order))
            next = it;
    }
    if (next == timers_.end()) return false;
    elapsed_ = std::max(elapsed_, next->second.due);
    ++wakeUps_;
    auto fn = next->second.fn;
    if (next->second.interval == 0) {
        timers_.erase(next);
    } else {
        // Like WM_TIMER, a late timer fires once and then counts from now.
        next->second.due = elapsed_ + next->second.interval;
        next->second.order = nextOrder_++;
    }
    dispatch(fn);
    return true;
}

void VirtualTime::advance(std::int64_t ms) {
    const std::int64_t target = elapsed_ + std::max<std::int64_t>(ms, 0);
    runPosted();
    while (fireNextDue(target)) runPosted();
    elapsed_ = std::max(elapsed_, target);
    runPosted();
}

bool VirtualTime::advanceUntil(const std::function<bool()>& condition, std::int64_t maxMs,
                               std::int64_t stepMs) {
    runPosted();
    if (condition()) return true;
    for (std::int64_t spent = 0; spent < maxMs; spent += stepMs) {
        advance(stepMs);
        if (condition()) return true;
    }
    return false;
}

void VirtualTime::advanceTo(const QDateTime& moment) {
    const std::int64_t ms = now().msecsTo(moment);
    if (ms > 0) advance(ms);
}

}  // namespace obu::test
