#include "tests/support/VirtualTime.h"

#include <algorithm>
#include <limits>

namespace obu::test {

VirtualTime::VirtualTime(QDateTime start)
    : m_start(std::move(start)), m_thread(std::this_thread::get_id()) {}

QDateTime VirtualTime::now() const {
    return m_start.addMSecs(m_elapsed + m_wallOffset);
}

std::uint32_t VirtualTime::millisecondsSinceStart() const {
    return m_tickOrigin + static_cast<std::uint32_t>(m_elapsed);
}

void VirtualTime::sleep(int ms) {
    if (ms > 0) m_elapsed += ms;
}

EventLoop::TimerId VirtualTime::startTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, kMinimumTimerMs), std::move(onTick));
}

EventLoop::TimerId VirtualTime::startFineTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, 1), std::move(onTick));
}

EventLoop::TimerId VirtualTime::addTimer(int interval, std::function<void()> onTick) {
    const TimerId id = m_nextId++;
    m_timers[id] = Timer{interval, m_elapsed + interval, m_nextOrder++, std::move(onTick)};
    return id;
}

void VirtualTime::stopTimer(TimerId id) {
    m_timers.erase(id);
}

WallClock::WaitId VirtualTime::waitUntil(const QDateTime& moment, std::function<void()> onWake) {
    const TimerId id = m_nextId++;
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    if (moment.isValid())
        due = std::max<std::int64_t>(m_elapsed, m_start.msecsTo(moment) - m_wallOffset);
    m_timers[id] = Timer{0, due, m_nextOrder++, std::move(onWake)};
    return id;
}

void VirtualTime::cancel(WaitId id) {
    m_timers.erase(id);
}

void VirtualTime::setWallClock(const QDateTime& moment) {
    m_wallOffset += now().msecsTo(moment);
    for (auto& [id, timer] : m_timers)
        if (timer.interval == 0) timer.due = m_elapsed;
}

void VirtualTime::post(std::function<void()> fn) {
    std::lock_guard lock(m_postedMutex);
    m_posted.push_back(std::move(fn));
}

void VirtualTime::runPosted() {
    // Bounded, so a handler that keeps posting cannot hang a test.
    for (int guard = 0; guard < 100000; ++guard) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_postedMutex);
            if (m_posted.empty()) return;
            fn = std::move(m_posted.front());
            m_posted.pop_front();
        }
        dispatch(fn);
    }
}

void VirtualTime::processMessages() {
    runPosted();
    while (fireNextDue(m_elapsed)) runPosted();
}

bool VirtualTime::inLoopThread() const {
    return std::this_thread::get_id() == m_thread;
}

bool VirtualTime::fireNextDue(std::int64_t limit) {
    auto next = m_timers.end();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.due > limit) continue;
        if (next == m_timers.end() || it->second.due < next->second.due ||
            (it->second.due == next->second.due && it->second.order < next->second.order))
            next = it;
    }
    if (next == m_timers.end()) return false;
    m_elapsed = std::max(m_elapsed, next->second.due);
    ++m_wakeUps;
    auto fn = next->second.fn;
    if (next->second.interval == 0) {
        m_timers.erase(next);
    } else {
        // Like WM_TIMER, a late timer fires once and then counts from now.
        next->second.due = m_elapsed + next->second.interval;
        next->second.order = m_nextOrder++;
    }
    dispatch(fn);
    return true;
}

void VirtualTime::advance(std::int64_t ms) {
    const std::int64_t target = m_elapsed + std::max<std::int64_t>(ms, 0);
    runPosted();
    while (fireNextDue(target)) runPosted();
    m_elapsed = std::max(m_elapsed, target);
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
