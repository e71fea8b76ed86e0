#pragma once
#include <QDateTime>
#include <cstdint>

namespace obu {

// Local time and a monotonic millisecond count. Nothing in the program reads
// the wall clock except through this, so tests can run a day of alarms in
// virtual time. Nothing waits by blocking either: a wait is a timer of the
// EventLoop, so the windows, the tray and signals are served throughout.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time.
    virtual QDateTime now() const = 0;
    // Milliseconds since an arbitrary start, on a clock that setting the date
    // does not move (CLOCK_MONOTONIC); wraps at 2^32.
    virtual std::uint32_t millisecondsSinceStart() const = 0;
};

}  // namespace obu
