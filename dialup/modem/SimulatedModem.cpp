#include "dialup/modem/SimulatedModem.h"

namespace obu {

SimulatedModem::SimulatedModem(EventLoop& loop, LineMemory& memory)
    : m_loop(loop), m_memory(memory) {}

SimulatedModem::~SimulatedModem() {
    hangUp();
}

void SimulatedModem::dial(const LineRequest& request, Report listener) {
    m_request = request;
    m_report = std::move(listener);
    m_active = true;
    if (report(CallState::OpenPort, 0)) schedule(m_request.entry.portDelayMs, Step::PortOpened);
}

void SimulatedModem::hangUp() {
    m_active = false;
    if (m_timer) m_loop.stopTimer(m_timer);
    m_timer = 0;
}

void SimulatedModem::schedule(int delayMs, Step step) {
    // Loop timers repeat; each step stops its own before it runs.
    m_timer = m_loop.startTimer(delayMs, [this, step] {
        m_loop.stopTimer(m_timer);
        m_timer = 0;
        run(step);
    });
}

bool SimulatedModem::report(CallState state, DialUpError error) {
    if (!m_active) return false;
    if (error != 0 || state == CallState::Connected) m_active = false;
    // Copied: the listener may hang this device up from inside the report.
    const Report listener = m_report;
    listener(state, error);
    return m_active;
}

DialUpError SimulatedModem::dialOutcome() {
    switch (m_request.entry.failure) {
        case LineFailure::Busy:
            return dialup_error::LineBusy;
        case LineFailure::NoDialTone:
            return dialup_error::NoDialTone;
        case LineFailure::NoAnswer:
            return dialup_error::NoAnswer;
        case LineFailure::NoCarrier:
            return dialup_error::NoCarrier;
        case LineFailure::ModemError:
            return dialup_error::FromDevice;
        default:
            break;
    }
    if (m_request.entry.busyCount > 0) {
        // The line is the number's digits, as the emulated modem's far end
        // knows it, so that both count the same line's busy signals.
        QByteArray line;
        for (char c : m_request.phoneNumber)
            if ((c >= '0' && c <= '9') || c == '*' || c == '#') line += c;
        if (line.isEmpty()) line = "(no number)";
        if (m_memory.callFindsBusy(line, m_request.entry.busyCount)) return dialup_error::LineBusy;
    }
    return 0;
}

DialUpError SimulatedModem::loginOutcome() const {
    const PhoneBookEntry& e = m_request.entry;
    if (e.failure == LineFailure::Login) return dialup_error::AuthenticationFailure;
    if (e.failure == LineFailure::LineDrop) return dialup_error::PortDisconnected;
    if (!e.acceptUser.isEmpty() && m_request.userName != e.acceptUser)
        return dialup_error::AuthenticationFailure;
    if (!e.acceptPassword.isEmpty() && m_request.password != e.acceptPassword)
        return dialup_error::AuthenticationFailure;
    return 0;
}

void SimulatedModem::run(Step step) {
    const PhoneBookEntry& e = m_request.entry;
    switch (step) {
        case Step::PortOpened:
            if (report(CallState::PortOpened, 0) && report(CallState::ConnectDevice, 0))
                schedule(e.dialDelayMs, Step::DeviceConnected);
            return;
        case Step::DeviceConnected:
            if (const DialUpError error = dialOutcome()) {
                report(CallState::ConnectDevice, error);
                return;
            }
            if (report(CallState::DeviceConnected, 0) &&
                report(CallState::AllDevicesConnected, 0) && report(CallState::Authenticate, 0))
                schedule(e.authDelayMs, Step::Authenticated);
            return;
        case Step::Authenticated:
            if (const DialUpError error = loginOutcome()) {
                report(CallState::Authenticate, error);
                return;
            }
            if (report(CallState::Authenticated, 0)) schedule(e.projectDelayMs, Step::Projected);
            return;
        case Step::Projected:
            if (e.failure == LineFailure::PppTimeout) {
                report(CallState::Projected, dialup_error::PppTimeout);
                return;
            }
            if (report(CallState::Projected, 0)) report(CallState::Connected, 0);
            return;
    }
}

}  // namespace obu
