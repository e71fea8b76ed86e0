#pragma once
#include "dialup/modem/LineDevice.h"
#include "platform/EventLoop.h"

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

    void dial(const LineRequest& request, Report report) override;
    void hangUp() override;

private:
    enum class Step { PortOpened, DeviceConnected, Authenticated, Projected };
    void schedule(int delayMs, Step step);
    void run(Step step);
    // Reports a stage; false when that report ended the call.
    bool report(CallState state, DialUpError error);
    DialUpError dialOutcome();
    DialUpError loginOutcome() const;

    EventLoop& m_loop;
    LineMemory& m_memory;
    LineRequest m_request;
    Report m_report;
    EventLoop::TimerId m_timer = 0;
    bool m_active = false;
};

}  // namespace obu
