#include "platform/SystemClock.h"

#include <chrono>
#include <thread>

namespace obu {

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

std::uint32_t SystemClock::millisecondsSinceStart() const {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace obu
