#pragma once
#include "platform/EventLoop.h"
#include "ras/LineDevice.h"

namespace obu {

// A modem and a provider that exist only in software. It goes through the
// stages that a real modem and server give, with the entry's delays, and ends
// the way the entry's far end is set up to: connected, busy (always or a
// number of calls in a row), no dial tone, no answer, no carrier, a modem
// error, a rejected login, a dropped line or a PPP time-out.
class SimulatedModem : public LineDevice {
public:
    SimulatedModem(EventLoop& loop, LineMemory& memory);
    ~SimulatedModem() override;

    void dial(const DialRequest& request, Report report) override;
    void hangUp() override;

private:
    enum class Step { PortOpened, DeviceConnected, Authenticated, Projected };
    void schedule(int delayMs, Step step);
    void run(Step step);
    // Reports a stage; false when that report ended the call.
    bool report(DWORD state, DWORD error);
    DWORD dialOutcome();
    DWORD loginOutcome() const;

    EventLoop& loop_;
    LineMemory& memory_;
    DialRequest request_;
    Report report_;
    EventLoop::TimerId timer_ = 0;
    bool active_ = false;
};

}  // namespace obu
