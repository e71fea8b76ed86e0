#include "timing/TimerThread.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace obu {

namespace {

// How far each priority moves the worker from the nice value of the thread
// that made the timer. The priorities are steps from -15 to +15 around the
// process's own; Linux's nice range is -20..19, where a
// higher value means a lower priority.
constexpr int kNiceOffset[] = {
    19,   // tpIdle
    10,   // tpLowest
    5,    // tpLower
    0,    // tpNormal
    -5,   // tpHigher
    -10,  // tpHighest
    -20,  // tpTimeCritical
};

std::optional<int> niceOf(pid_t tid) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0) return std::nullopt;
    return nice;
}

}  // namespace

TimerThread::TimerThread(PacingTimer& timer)
    : timer_(timer), handOver_(timer.loop_), thread_([this] { run(); }) {}

TimerThread::~TimerThread() {
    {
        std::lock_guard lock(timer_.mutex_);
        terminated_ = true;
        changed_.notify_all();
    }
    // The thread may be waiting for a tick that the loop's thread, which is
    // running this destructor, would never serve.
    handOver_.cancel();
    thread_.join();
}

int TimerThread::niceFor(TThreadPriority priority, int baseNice) {
    return std::clamp(baseNice + kNiceOffset[priority], -20, 19);
}

void TimerThread::applyPriorityLocked() {
    if (tid_ == 0) return;
    const auto current = niceOf(tid_);
    if (!current) return;
    const int target = niceFor(timer_.priority_, timer_.baseNice_);
    // Without the privilege to raise priority (or with a limit on it) Linux
    // refuses a lower nice value; come as close as the user is allowed, and
    // keep quiet about the rest: a timer still runs at a lower priority.
    for (int nice = target; nice <= std::max(target, *current); ++nice) {
        if (nice == *current) return;
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), nice) == 0) return;
        if (errno != EACCES && errno != EPERM) return;
    }
}

std::optional<int> TimerThread::niceLocked() const {
    if (tid_ == 0) return std::nullopt;
    return niceOf(tid_);
}

void TimerThread::run() {
    // The kernel may otherwise add up to 50 us of slack to every wake-up.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    std::unique_lock lock(timer_.mutex_);
    tid_ = gettid();
    applyPriorityLocked();

    for (;;) {
        changed_.wait(lock, [&] { return terminated_ || timer_.enabled_; });
        if (terminated_) return;

        // Deadlines are whole milliseconds of the monotonic clock, the unit the
        // intervals are given in; a wake-up a little after the
        // deadline therefore does not push the following ticks later.
        const std::uint64_t run = timer_.run_;
        const std::chrono::steady_clock::time_point deadline{
            std::chrono::milliseconds(timer_.nextTick_)};
        const bool interrupted = changed_.wait_until(
            lock, deadline, [&] { return terminated_ || !timer_.enabled_ || timer_.run_ != run; });
        if (interrupted) continue;

        timer_.fireLocked(timer_.nowMs());
        lock.unlock();
        handOver_.call([&timer = timer_, run] { timer.runTick(run); });
        lock.lock();
    }
}

}  // namespace obu
