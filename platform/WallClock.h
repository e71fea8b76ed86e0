#pragma once
#include <QDateTime>
#include <cstdint>
#include <functional>

namespace obu {

// Waits for a moment of the wall clock without waking before it. A wait ends
// when the clock reaches its moment, or sooner when the wall clock is set or
// the local time zone changes: a moment worked out from a local time may then
// have moved, so its owner works it out again and waits anew.
class WallClock {
public:
    using WaitId = std::uint64_t;

    virtual ~WallClock() = default;

    // Runs onWake once, on the loop's thread and through its dispatcher, when
    // the clock reaches `moment` (at once for a moment already past) or the
    // clock or the zone changes first. An invalid moment waits for such a
    // change alone.
    virtual WaitId waitUntil(const QDateTime& moment, std::function<void()> onWake) = 0;
    // A cancelled wait never runs its function.
    virtual void cancel(WaitId id) = 0;
};

}  // namespace obu
