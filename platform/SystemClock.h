#pragma once
#include "platform/Clock.h"

namespace obu {

// The real clocks of the machine.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    std::uint32_t millisecondsSinceStart() const override;
};

}  // namespace obu
