#pragma once
#include <QDateTime>
#include <cstdint>

namespace obu {

// Local time, the millisecond tick counter and blocking sleeps. Nothing in the
// program reads the wall clock or sleeps except through this, so tests can run
// a day of alarms in virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time.
    virtual QDateTime now() const = 0;
    // timeGetTime: milliseconds since an arbitrary origin; wraps at 2^32.
    virtual std::uint32_t tickCount() const = 0;
    // Sleep: blocks the calling thread; on the user-interface thread nothing is
    // dispatched meanwhile.
    virtual void sleep(int ms) = 0;
};

}  // namespace obu
