#pragma once
#include <QDateTime>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/WallClock.h"

namespace obu::test {

// Virtual time for the whole program: the clock, the message loop and the
// wall clock's waits in one. advance(ms) fires due timers and waits in the
// order of their due times and runs posted messages; sleep() moves time on
// without dispatching anything, as a blocking Sleep on the user-interface
// thread does. setWallClock() sets the clock as a user or a time daemon does.
class VirtualTime : public Clock, public EventLoop, public WallClock {
public:
    explicit VirtualTime(QDateTime start = QDateTime(QDate(2001, 6, 14), QTime(21, 5, 12)));

    // Clock
    QDateTime now() const override;
    std::uint32_t millisecondsSinceStart() const override;
    // A handler that keeps the thread this long: time moves on, nothing is
    // dispatched meanwhile.
    void sleep(int ms);

    // EventLoop
    TimerId startTimer(int intervalMs, std::function<void()> onTick) override;
    TimerId startFineTimer(int intervalMs, std::function<void()> onTick) override;
    void stopTimer(TimerId id) override;
    void post(std::function<void()> fn) override;
    void processMessages() override;
    bool inLoopThread() const override;

    // WallClock
    WaitId waitUntil(const QDateTime& moment, std::function<void()> onWake) override;
    void cancel(WaitId id) override;

    // Moves time forward by ms, firing every timer that falls due on the way.
    void advance(std::int64_t ms);
    // Advances in small steps until the condition holds; false if maxMs ran out.
    bool advanceUntil(const std::function<bool()>& condition, std::int64_t maxMs,
                      std::int64_t stepMs = 10);
    // Moves the wall clock to a given moment (forward only) firing timers on the way.
    void advanceTo(const QDateTime& moment);
    // Runs the posted messages that are waiting (and those they post).
    void runPosted();
    // Sets the wall clock to a moment, earlier or later, as a user or a time
    // daemon does: the tick count and the loop's timers go on undisturbed,
    // and every wait of the wall clock ends at once, as the kernel ends them.
    void setWallClock(const QDateTime& moment);

    std::int64_t elapsedMs() const { return m_elapsed; }
    // How often a timer or a wait has fired: how often the program was woken.
    std::uint64_t wakeUps() const { return m_wakeUps; }
    int activeTimers() const { return static_cast<int>(m_timers.size()); }

private:
    struct Timer {
        int interval;  // 0 for a wait of the wall clock, which fires once
        std::int64_t due;
        std::uint64_t order;
        std::function<void()> fn;
    };
    TimerId addTimer(int interval, std::function<void()> onTick);
    bool fireNextDue(std::int64_t limit);

    QDateTime m_start;
    std::int64_t m_elapsed = 0;
    // How far the wall clock was set away from the tick count.
    std::int64_t m_wallOffset = 0;
    std::uint32_t m_tickOrigin = 1'000'000;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextId = 1;
    std::uint64_t m_nextOrder = 0;
    std::uint64_t m_wakeUps = 0;
    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    std::thread::id m_thread;
};

}  // namespace obu::test
