// Putting the modem back on the hook: after a failure, on a hang-up during the
// dial, and once the process that held a line has ended.
#include "dialup/modem/SerialModem.h"

#include <signal.h>

#include "dialup/modem/Processes.h"

namespace obu {

void SerialModem::hangUp() {
    // Connected (the holder has the line), failed (already hanging up) or idle:
    // nothing of ours is left to end.
    if (!active_) return;
    active_ = false;
    if (phase_ == Phase::Connected || phase_ == Phase::Done || phase_ == Phase::HangingUp) return;
    if (link_) link_->abandon();
    startHangUp();
}

void SerialModem::releaseAfter(const QByteArray& device, const LineHolder& holder) {
    holder_ = holder;
    portName_ = device;
    phase_ = Phase::AwaitHolder;
    phaseStart_ = now();
    startTicking();
}

void SerialModem::awaitHolderEnd() {
    if (processAlive(ProcessId{holder_.pid, holder_.start})) {
        if (!holderKilled_ && since(phaseStart_) > 10000) {
            ::kill(static_cast<pid_t>(holder_.pid), SIGKILL);
            holderKilled_ = true;
        }
        if (since(phaseStart_) > 15000) finishHangUp();
        return;
    }
    // The holder has gone and its lock is stale: the modem is ours to
    // put back on the hook, unless another program has taken it by now.
    const UucpLock::Result taken = lock_.acquire(lockFolder_, portName_);
    if (taken == UucpLock::Result::InUse || taken == UucpLock::Result::NotAFile) {
        finishHangUp();
        return;
    }
    SerialPort::Settings settings;
    if (!serial_.open(portName_, settings)) {
        finishHangUp();
        return;
    }
    online_ = true;
    lastWrite_ = now();
    startHangUp();
}

void SerialModem::startHangUp() {
    phase_ = Phase::HangingUp;
    hangStart_ = now();
    input_.clear();
    if (!serial_.isOpen()) {
        finishHangUp();
        return;
    }
    if (online_) {
        hangStep_ = HangStep::Guard;
    } else if (lastCommand_.toUpper().startsWith("ATD")) {
        // Still dialing (or just failed to): a character ends the dial, then ATH0.
        serial_.write("\r");
        lastWrite_ = now();
        hangStep_ = HangStep::Hook;
    } else {
        hangStep_ = HangStep::Dtr;
    }
    startTicking();
}

void SerialModem::hangUpTick(bool portAlive) {
    if (!portAlive) {
        // The device went away (the emulator ended): nothing left to tell it.
        finishHangUp();
        return;
    }
    const auto results = takeModemLines(input_);
    const auto answered = [&] {
        for (const QByteArray& l : results) {
            const auto k = parseModemResult(l).kind;
            if (k == ModemResult::Ok || k == ModemResult::NoCarrier || k == ModemResult::Error)
                return true;
        }
        return false;
    };
    switch (hangStep_) {
        case HangStep::Guard:
            if (since(lastWrite_) >= static_cast<std::uint32_t>(timing_.guardMs)) {
                serial_.write("+++");
                sent_ << "+++";
                lastWrite_ = now();
                hangStart_ = now();
                hangStep_ = HangStep::AwaitEscape;
            }
            return;
        case HangStep::AwaitEscape:
            // OK after the second guard time; a modem that already hung up says
            // nothing, so after a while ATH0 goes anyway.
            if (answered() ||
                since(hangStart_) > static_cast<std::uint32_t>(timing_.guardMs) * 2 + 500)
                hangStep_ = HangStep::Hook;
            return;
        case HangStep::Hook:
            if (since(lastWrite_) < 200) return;
            serial_.write("ATH0\r");
            sent_ << "ATH0";
            lastWrite_ = now();
            hangStart_ = now();
            hangStep_ = HangStep::AwaitHook;
            return;
        case HangStep::AwaitHook:
            if (answered() || since(hangStart_) > 3000) {
                hangStep_ = HangStep::Dtr;
            }
            return;
        case HangStep::Dtr:
            serial_.setDtr(false);
            hangStart_ = now();
            hangStep_ = HangStep::Close;
            return;
        case HangStep::Close:
            // DTR stays down for half a second, enough for any modem to notice.
            if (since(hangStart_) >= 500) finishHangUp();
            return;
    }
}

void SerialModem::finishHangUp() {
    serial_.close();
    lock_.release();
    online_ = false;
    phase_ = Phase::Done;
    stopTicking();
}

}  // namespace obu
