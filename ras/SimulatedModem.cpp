#include "ras/SimulatedModem.h"

namespace obu {

SimulatedModem::SimulatedModem(EventLoop& loop, LineMemory& memory)
    : loop_(loop), memory_(memory) {}

SimulatedModem::~SimulatedModem() {
    hangUp();
}

void SimulatedModem::dial(const DialRequest& request, Report listener) {
    request_ = request;
    report_ = std::move(listener);
    active_ = true;
    if (report(RASCS_OpenPort, 0)) schedule(request_.entry.portDelayMs, Step::PortOpened);
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

bool SimulatedModem::report(DWORD state, DWORD error) {
    if (!active_) return false;
    if (error != 0 || state == RASCS_Connected) active_ = false;
    // Copied: the listener may hang this device up from inside the report.
    const Report listener = report_;
    listener(state, error);
    return active_;
}

DWORD SimulatedModem::dialOutcome() {
    switch (request_.entry.failure) {
        case LineFailure::Busy:
            return ERROR_LINE_BUSY;
        case LineFailure::NoDialTone:
            return ERROR_NO_DIALTONE;
        case LineFailure::NoAnswer:
            return ERROR_NO_ANSWER;
        case LineFailure::NoCarrier:
            return ERROR_NO_CARRIER;
        case LineFailure::ModemError:
            return ERROR_FROM_DEVICE;
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
        if (memory_.callFindsBusy(line, request_.entry.busyCount)) return ERROR_LINE_BUSY;
    }
    return 0;
}

DWORD SimulatedModem::loginOutcome() const {
    const PhoneBookEntry& e = request_.entry;
    if (e.failure == LineFailure::Login) return ERROR_AUTHENTICATION_FAILURE;
    if (e.failure == LineFailure::LineDrop) return ERROR_PORT_DISCONNECTED;
    if (!e.acceptUser.isEmpty() && request_.userName != e.acceptUser)
        return ERROR_AUTHENTICATION_FAILURE;
    if (!e.acceptPassword.isEmpty() && request_.password != e.acceptPassword)
        return ERROR_AUTHENTICATION_FAILURE;
    return 0;
}

void SimulatedModem::run(Step step) {
    const PhoneBookEntry& e = request_.entry;
    switch (step) {
        case Step::PortOpened:
            if (report(RASCS_PortOpened, 0) && report(RASCS_ConnectDevice, 0))
                schedule(e.dialDelayMs, Step::DeviceConnected);
            return;
        case Step::DeviceConnected:
            if (const DWORD error = dialOutcome()) {
                report(RASCS_ConnectDevice, error);
                return;
            }
            if (report(RASCS_DeviceConnected, 0) && report(RASCS_AllDevicesConnected, 0) &&
                report(RASCS_Authenticate, 0))
                schedule(e.authDelayMs, Step::Authenticated);
            return;
        case Step::Authenticated:
            if (const DWORD error = loginOutcome()) {
                report(RASCS_Authenticate, error);
                return;
            }
            if (report(RASCS_Authenticated, 0)) schedule(e.projectDelayMs, Step::Projected);
            return;
        case Step::Projected:
            if (e.failure == LineFailure::PppTimeout) {
                report(RASCS_Projected, ERROR_PPP_TIMEOUT);
                return;
            }
            if (report(RASCS_Projected, 0)) report(RASCS_Connected, 0);
            return;
    }
}

}  // namespace obu
