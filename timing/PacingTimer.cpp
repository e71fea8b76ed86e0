#include "timing/PacingTimer.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/Clock.h"
#include "platform/Dispatcher.h"
#include "timing/TimerThread.h"

namespace obu {

namespace {

// Raises the flag that it watches when the timer is destroyed while the
// watch is in scope; nested watches (a tick inside a tick) all see it.
class DestructionWatch {
public:
    explicit DestructionWatch(bool*& slot) : slot_(slot), outer_(slot) { slot_ = &destroyed_; }
    ~DestructionWatch() {
        if (destroyed_) {
            if (outer_) *outer_ = true;
        } else {
            slot_ = outer_;
        }
    }
    bool destroyed() const { return destroyed_; }

private:
    bool*& slot_;
    bool* outer_;
    bool destroyed_ = false;
};

}  // namespace

PacingTimer::PacingTimer(EventLoop& loop, Clock& clock, TimerDriver driver)
    : loop_(loop), clock_(clock), driver_(driver) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    baseNice_ = (nice == -1 && errno != 0) ? 0 : nice;
    lastTickCount_ = clock_.tickCount();
}

PacingTimer::~PacingTimer() {
    if (destroyedFlag_) *destroyedFlag_ = true;
    setEnabled(false);
    stopLoopTimer();
    // Releases the worker from a tick that it may be waiting for and joins it.
    worker_.reset();
}

std::int64_t PacingTimer::nowMs() {
    if (driver_ == TimerDriver::Thread) {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    // The Clock's counter wraps at 2^32 ms; carry on past the wrap.
    const std::uint32_t tick = clock_.tickCount();
    unwrappedTicks_ += static_cast<std::int32_t>(tick - lastTickCount_);
    lastTickCount_ = tick;
    return unwrappedTicks_;
}

bool PacingTimer::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void PacingTimer::setEnabled(bool enabled) {
    std::unique_lock lock(mutex_);
    if (enabled == enabled_) return;
    if (enabled && interval_ == 0) return;
    enabled_ = enabled;
    if (enabled) {
        baseTime_ = time_;
        enabledAt_ = nowMs();
        nextTick_ = enabledAt_ + interval_;
        ++run_;
    }
    if (driver_ == TimerDriver::Thread) {
        if (enabled && !worker_) worker_ = std::make_unique<TimerThread>(*this);
        if (worker_) worker_->wakeLocked();
        return;
    }
    lock.unlock();
    if (enabled)
        scheduleLoopTick();
    else
        stopLoopTimer();
}

std::uint16_t PacingTimer::interval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

void PacingTimer::setInterval(std::uint16_t ms) {
    if (ms == interval()) return;
    if (ms == 0) setEnabled(false);
    std::lock_guard lock(mutex_);
    interval_ = ms;
}

TThreadPriority PacingTimer::threadPriority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

void PacingTimer::setThreadPriority(TThreadPriority priority) {
    std::lock_guard lock(mutex_);
    if (priority == priority_) return;
    priority_ = priority;
    if (worker_) worker_->applyPriorityLocked();
}

bool PacingTimer::countDown() const {
    std::lock_guard lock(mutex_);
    return countDown_;
}

void PacingTimer::setCountDown(bool countDown) {
    std::lock_guard lock(mutex_);
    if (countDown == countDown_) return;
    countDown_ = countDown;
    if (enabled_) {
        // Time goes on from its present value in the new direction.
        enabledAt_ = nowMs();
        baseTime_ = time_;
    }
}

std::int32_t PacingTimer::time() const {
    std::lock_guard lock(mutex_);
    return time_;
}

void PacingTimer::setTime(std::int32_t ms) {
    std::lock_guard lock(mutex_);
    time_ = ms;
    if (enabled_) {
        enabledAt_ = nowMs();
        baseTime_ = ms;
    }
}

std::int32_t PacingTimer::tickLimit() const {
    std::lock_guard lock(mutex_);
    return tickLimit_;
}

void PacingTimer::setTickLimit(std::int32_t limit) {
    std::lock_guard lock(mutex_);
    tickLimit_ = limit;
}

std::int32_t PacingTimer::ticks() const {
    std::lock_guard lock(mutex_);
    return interval_ == 0 ? 0 : time_ / static_cast<std::int32_t>(interval_);
}

std::optional<int> PacingTimer::workerNice() const {
    std::lock_guard lock(mutex_);
    return worker_ ? worker_->niceLocked() : std::nullopt;
}

void PacingTimer::fireLocked(std::int64_t now) {
    // Lateness is not made up: the next tick is timed from this one.
    nextTick_ = now + interval_;
    const std::int64_t elapsed = now - enabledAt_;
    time_ = static_cast<std::int32_t>(countDown_ ? baseTime_ - elapsed : baseTime_ + elapsed);
}

bool PacingTimer::runTick(std::uint64_t run) {
    {
        std::lock_guard lock(mutex_);
        // A tick timed just before the timer was stopped or restarted.
        if (!enabled_ || run != run_) return true;
    }
    DestructionWatch watch(destroyedFlag_);

    // The handler may replace itself or destroy the timer: call a copy.
    if (Handler handler = onTimer_) handler(this);
    if (watch.destroyed()) return false;

    bool stop;
    {
        std::lock_guard lock(mutex_);
        const std::int32_t ticks = interval_ == 0 ? 0 : time_ / std::int32_t{interval_};
        if (countDown_)
            stop = !(ticks > tickLimit_ && time_ > 0);
        else
            stop = !(tickLimit_ <= 0 || ticks < tickLimit_);
    }
    if (!stop) return true;

    setEnabled(false);
    if (Handler handler = onStop_) handler(this);
    return !watch.destroyed();
}

void PacingTimer::scheduleLoopTick() {
    stopLoopTimer();
    std::int64_t delay;
    std::uint64_t run;
    {
        std::lock_guard lock(mutex_);
        delay = std::clamp<std::int64_t>(nextTick_ - nowMs(), 0, INT_MAX);
        run = run_;
    }
    loopTimer_ = loop_.startTimer(static_cast<int>(delay), [this, run] { onLoopTimer(run); });
}

void PacingTimer::stopLoopTimer() {
    if (loopTimer_ == 0) return;
    loop_.stopTimer(loopTimer_);
    loopTimer_ = 0;
}

void PacingTimer::onLoopTimer(std::uint64_t run) {
    // Each tick is a one-shot, timed again after the tick has been handled,
    // as the worker does.
    stopLoopTimer();
    {
        std::unique_lock lock(mutex_);
        if (!enabled_ || run != run_) return;
        const std::int64_t now = nowMs();
        if (now < nextTick_) {
            lock.unlock();
            scheduleLoopTick();
            return;
        }
        fireLocked(now);
    }

    DestructionWatch watch(destroyedFlag_);
    // Handled here rather than by the loop, so that an error box is closed
    // before the next tick is timed, as with the worker's hand-over.
    const auto tick = [this, run] { runTick(run); };
    if (Dispatcher* dispatcher = loop_.dispatcher())
        dispatcher->run(tick);
    else
        tick();
    if (watch.destroyed()) return;

    // A handler that stopped the timer, or restarted it (which timed a
    // fresh tick), leaves nothing to do.
    if (enabled() && loopTimer_ == 0) scheduleLoopTick();
}

}  // namespace obu
