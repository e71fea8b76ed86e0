#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/EventLoop.h"

namespace obu {

class Clock;
class TimerThread;

// Priorities of the worker thread, lowest first.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Where a PacingTimer's ticks come from, chosen once at construction.
enum class TimerDriver {
    // A worker thread of its own waits for each tick on the machine's
    // monotonic clock and hands it to the loop's thread with a blocking call.
    // The real program uses this.
    Thread,
    // No thread: each tick is a one-shot timer of the event loop and Time is
    // read from the Clock. With the virtual clock and loop of the whole-program
    // tests this runs deterministically with no real time passing. The loop's
    // own rules apply: a loop whose timers fire no more often than every 10 ms
    // ticks a shorter Interval every 10 ms.
    Loop,
};

// A timer whose ticks are timed by a worker thread rather than by the window
// system's timer messages, and that keeps its own clock value, counting up or
// down, optionally stopping itself at a tick limit.
//
// Every member is called on the loop's thread, and OnTimer / OnStop run there
// too. Ticks never queue up: the worker waits until a tick has been handled
// before timing the next one, and a late tick is not made up (the next tick is
// timed from the moment this one fired).
//
// Interval 0 means "stopped": setting it stops a running timer (without
// OnStop), and a timer whose Interval is 0 cannot be enabled (Enabled stays
// false). Ticks is 0 then.
//
// An error raised by OnTimer or OnStop shows the loop's error box and ends
// that tick only: the rest of the tick (the tick-limit check) is skipped, the
// timer keeps running, and the next tick is timed once the box is closed.
//
// The timer may be destroyed at any time, from inside its own OnTimer or
// OnStop too; nothing of it runs afterwards.
class PacingTimer {
public:
    using Handler = std::function<void(PacingTimer* sender)>;

    // The clock serves the Loop driver; the Thread driver times itself on the
    // monotonic clock that SystemClock's tick counter also reads.
    PacingTimer(EventLoop& loop, Clock& clock, TimerDriver driver = TimerDriver::Thread);
    ~PacingTimer();
    PacingTimer(const PacingTimer&) = delete;
    PacingTimer& operator=(const PacingTimer&) = delete;

    // Properties
    bool enabled() const;
    void setEnabled(bool enabled);
    std::uint16_t interval() const;
    void setInterval(std::uint16_t ms);
    void setOnTimer(Handler handler) { onTimer_ = std::move(handler); }
    TThreadPriority threadPriority() const;
    void setThreadPriority(TThreadPriority priority);
    bool countDown() const;
    void setCountDown(bool countDown);
    void setOnStop(Handler handler) { onStop_ = std::move(handler); }

    // The clock value in ms: elapsed time counting up, remaining time counting
    // down. It changes at each tick and carries on across a stop and a start.
    std::int32_t time() const;
    // Sets the clock value; a running timer goes on from it.
    void setTime(std::int32_t ms);
    // The tick count at which the timer stops itself; -1 (the default) or any
    // value up to 0 means no limit when counting up.
    std::int32_t tickLimit() const;
    void setTickLimit(std::int32_t limit);
    // Time / Interval, truncated towards zero; 0 while Interval is 0.
    std::int32_t ticks() const;

    TimerDriver driver() const { return driver_; }
    // The nice value that the worker thread runs at, or nothing while there is
    // no worker (the Loop driver, or a Thread timer never enabled yet).
    std::optional<int> workerNice() const;

private:
    friend class TimerThread;

    std::int64_t nowMs();
    // Times the tick that falls due at 'now' (worker or loop thread).
    void fireLocked(std::int64_t now);
    // Runs one tick on the loop's thread; false when the timer was destroyed
    // inside it.
    bool runTick(std::uint64_t run);
    void scheduleLoopTick();
    void onLoopTimer(std::uint64_t run);
    void stopLoopTimer();

    EventLoop& loop_;
    Clock& clock_;
    const TimerDriver driver_;

    // Shared with the worker thread; every access holds mutex_.
    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::uint16_t interval_ = 1000;
    TThreadPriority priority_ = tpHigher;
    bool countDown_ = false;
    std::int32_t time_ = 0;
    std::int32_t tickLimit_ = -1;
    std::int64_t nextTick_ = 0;
    std::int32_t baseTime_ = 0;
    std::int64_t enabledAt_ = 0;
    // Counts the runs (each enabling starts one), so that a tick timed in an
    // earlier run is recognised and dropped.
    std::uint64_t run_ = 0;

    // Loop's thread only.
    Handler onTimer_;
    Handler onStop_;
    EventLoop::TimerId loopTimer_ = 0;
    std::uint32_t lastTickCount_ = 0;
    std::int64_t unwrappedTicks_ = 0;
    // Points at a flag of the tick in progress, which the destructor raises.
    bool* destroyedFlag_ = nullptr;
    // The nice value of the thread that made the timer; priorities are
    // relative to it.
    int baseNice_ = 0;

    std::unique_ptr<TimerThread> worker_;
};

}  // namespace obu
