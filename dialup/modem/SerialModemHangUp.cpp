// Putting the modem back on the hook: after a failure, on a hang-up during the
// dial, and once the process that held a line has ended.
#include "dialup/modem/SerialModem.h"

#include <signal.h>

#include "dialup/modem/Processes.h"

namespace obu {

void SerialModem::hangUp() {
    // Connected (the holder has the line), failed (already hanging up) or idle:
    // nothing of ours is left to end.
    if (!m_active) return;
    m_active = false;
    if (m_phase == Phase::Connected || m_phase == Phase::Done || m_phase == Phase::HangingUp)
        return;
    if (m_link) m_link->abandon();
    startHangUp();
}

void SerialModem::releaseAfter(const QByteArray& device, const LineHolder& holder) {
    m_holder = holder;
    m_portName = device;
    m_phase = Phase::AwaitHolder;
    m_phaseStart = now();
    startTicking();
}

void SerialModem::awaitHolderEnd() {
    if (processAlive(ProcessId{m_holder.pid, m_holder.start})) {
        if (!m_holderKilled && since(m_phaseStart) > 10000) {
            ::kill(static_cast<pid_t>(m_holder.pid), SIGKILL);
            m_holderKilled = true;
        }
        if (since(m_phaseStart) > 15000) finishHangUp();
        return;
    }
    // The holder has gone and its lock is stale: the modem is ours to
    // put back on the hook, unless another program has taken it by now.
    const UucpLock::Result taken = m_lock.acquire(m_lockFolder, m_portName);
    if (taken == UucpLock::Result::InUse || taken == UucpLock::Result::NotAFile) {
        finishHangUp();
        return;
    }
    SerialPort::Settings settings;
    if (!m_serial.open(m_portName, settings)) {
        finishHangUp();
        return;
    }
    m_online = true;
    m_lastWrite = now();
    startHangUp();
}

void SerialModem::startHangUp() {
    m_phase = Phase::HangingUp;
    m_hangStart = now();
    m_input.clear();
    if (!m_serial.isOpen()) {
        finishHangUp();
        return;
    }
    if (m_online) {
        m_hangStep = HangStep::Guard;
    } else if (m_lastCommand.toUpper().startsWith("ATD")) {
        // Still dialing (or just failed to): a character ends the dial, then ATH0.
        m_serial.write("\r");
        m_lastWrite = now();
        m_hangStep = HangStep::Hook;
    } else {
        m_hangStep = HangStep::Dtr;
    }
    startTicking();
}

void SerialModem::hangUpTick(bool portAlive) {
    if (!portAlive) {
        // The device went away (the emulator ended): nothing left to tell it.
        finishHangUp();
        return;
    }
    const auto results = takeModemLines(m_input);
    const auto answered = [&] {
        for (const QByteArray& l : results) {
            const auto k = parseModemResult(l).kind;
            if (k == ModemResult::Ok || k == ModemResult::NoCarrier || k == ModemResult::Error)
                return true;
        }
        return false;
    };
    switch (m_hangStep) {
        case HangStep::Guard:
            if (since(m_lastWrite) >= static_cast<std::uint32_t>(m_timing.guardMs)) {
                m_serial.write("+++");
                m_sent << "+++";
                m_lastWrite = now();
                m_hangStart = now();
                m_hangStep = HangStep::AwaitEscape;
            }
            return;
        case HangStep::AwaitEscape:
            // OK after the second guard time; a modem that already hung up says
            // nothing, so after a while ATH0 goes anyway.
            if (answered() ||
                since(m_hangStart) > static_cast<std::uint32_t>(m_timing.guardMs) * 2 + 500)
                m_hangStep = HangStep::Hook;
            return;
        case HangStep::Hook:
            if (since(m_lastWrite) < 200) return;
            m_serial.write("ATH0\r");
            m_sent << "ATH0";
            m_lastWrite = now();
            m_hangStart = now();
            m_hangStep = HangStep::AwaitHook;
            return;
        case HangStep::AwaitHook:
            if (answered() || since(m_hangStart) > 3000) {
                m_hangStep = HangStep::Dtr;
            }
            return;
        case HangStep::Dtr:
            m_serial.setDtr(false);
            m_hangStart = now();
            m_hangStep = HangStep::Close;
            return;
        case HangStep::Close:
            // DTR stays down for half a second, enough for any modem to notice.
            if (since(m_hangStart) >= 500) finishHangUp();
            return;
    }
}

void SerialModem::finishHangUp() {
    m_serial.close();
    m_lock.release();
    m_online = false;
    m_phase = Phase::Done;
    stopTicking();
}

}  // namespace obu
