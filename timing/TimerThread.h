#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <optional>
#include <thread>

#include "platform/HandOver.h"
#include "timing/PacingTimer.h"

namespace obu {

// The worker of a PacingTimer. It sleeps until the next tick's deadline (an
// absolute time on the monotonic clock, so that sleeping never adds drift),
// times the tick and hands it to the loop's thread, waiting until it has been
// handled. While the timer is disabled it waits without using the processor.
//
// It shares the timer's mutex; the mutex is never held across the hand-over.
class TimerThread {
public:
    // Starts the thread; it idles until the timer is enabled.
    explicit TimerThread(PacingTimer& timer);
    // Terminates the thread, releasing it from a pending hand-over first, and
    // joins it. Safe inside the timer's own tick.
    ~TimerThread();
    TimerThread(const TimerThread&) = delete;
    TimerThread& operator=(const TimerThread&) = delete;

    // Tells the thread that the timer's run changed (enabled, disabled,
    // restarted). The caller holds the timer's mutex.
    void wakeLocked() { changed_.notify_all(); }
    // Applies the timer's priority to the running thread. The caller holds
    // the timer's mutex.
    void applyPriorityLocked();
    // The caller holds the timer's mutex.
    std::optional<int> niceLocked() const;

    // The nice value that stands for a priority, relative to the nice value
    // of the thread that made the timer and within Linux's range.
    static int niceFor(TThreadPriority priority, int baseNice);

private:
    void run();

    PacingTimer& timer_;
    std::condition_variable changed_;
    bool terminated_ = false;  // under the timer's mutex
    pid_t tid_ = 0;            // under the timer's mutex; 0 until the thread runs
    HandOver handOver_;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace obu
