#include "dialup/modem/SimulatedModem.h"

namespace obu {

SimulatedModem::SimulatedModem(EventLoop& loop, LineMemory& memory)
    : loop_(loop), memory_(memory) {}

SimulatedModem::~SimulatedModem() {
    hangUp();
}

void SimulatedModem::dial(const LineRequest& request, Report listener) {
    request_ = request;
    report_ = std::move(listener);
    active_ = true;
    if (report(CallState::OpenPort, 0)) schedule(request_.entry.portDelayMs, Step::PortOpened);
}

void SimulatedModem::hangUp() {
    active_ = false;
    if (timer_) loop_.stopTimer(timer_);
    timer_ = 0;
}

void SimulatedModem::schedule(int delayMs, Step step) {
    // Loop timers repeat; each step stops its own before it runs.
    timer_ = loop_.startTimer(delayMs, [this, step] {
        loop_.stopTimer(timer_);
        timer_ = 0;
        run(step);
    });
}

bool SimulatedModem::report(CallState state, DialUpError error) {
    if (!active_) return false;
    if (error != 0 || state == CallState::Connected) active_ = false;
    // Copied: the listener may hang this device up from inside the report.
    const Report listener = report_;
    listener(state, error);
    return active_;
}

DialUpError SimulatedModem::dialOutcome() {
    switch (request_.entry.failure) {
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
    if (request_.entry.busyCount > 0) {
        // The line is the number's digits, as the emulated modem's far end
        // knows it, so that both count the same line's busy signals.
        QByteArray line;
        for (char c : request_.phoneNumber)
            if ((c >= '0' && c <= '9') || c == '*' || c == '#') line += c;
        if (line.isEmpty()) line = "(no number)";
        if (memory_.callFindsBusy(line, request_.entry.busyCount)) return dialup_error::LineBusy;
    }
    return 0;
}

DialUpError SimulatedModem::loginOutcome() const {
    const PhoneBookEntry& e = request_.entry;
    if (e.failure == LineFailure::Login) return dialup_error::AuthenticationFailure;
    if (e.failure == LineFailure::LineDrop) return dialup_error::PortDisconnected;
    if (!e.acceptUser.isEmpty() && request_.userName != e.acceptUser)
        return dialup_error::AuthenticationFailure;
    if (!e.acceptPassword.isEmpty() && request_.password != e.acceptPassword)
        return dialup_error::AuthenticationFailure;
    return 0;
}

void SimulatedModem::run(Step step) {
    const PhoneBookEntry& e = request_.entry;
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
