#include "platform/SystemClock.h"

#include <chrono>

namespace obu {

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

std::uint32_t SystemClock::millisecondsSinceStart() const {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace obu
