// Finding an established connection, the drop watch, and the disconnect timer.
#include <algorithm>

#include "model/EventLog.h"
#include "model/LineKeeper.h"
#include "model/Settings.h"
#include "model/StateText.h"
#include "platform/EventLoop.h"

namespace obu {
namespace {
// The safety look of the drop watch: changes are announced by the service,
// this only bounds how long one that was somehow missed goes unnoticed.
constexpr int kSafetyLookMs = 1000;
}  // namespace

bool LineKeeper::detectConnection() {
    bool result = false;
    QList<CallInfo> calls;
    if (m_service.calls(&calls) != dialup_error::None) {
        emit statusChanged(QStringLiteral("Unable to retrieve established connections."));
    } else if (!calls.isEmpty()) {
        const CallInfo& first = calls.first();
        m_detectedCall = first.id;
        emit statusChanged(first.entry + QStringLiteral(" - ") +
                           stateText(m_service, first.state, first.error) +
                           QStringLiteral("   Device: ") + first.deviceName);
        result = true;
        startDropWatch();
    }
    if (result && m_readyToConnect) {
        m_readyToConnect = false;
        emit connectFaceChanged(false);
    } else if (!result && !m_readyToConnect) {
        m_readyToConnect = true;
        emit statusChanged(QStringLiteral("No connection was detected."));
        emit connectFaceChanged(true);
    }
    return result;
}

void LineKeeper::adoptConnectionAtStart() {
    if (detectConnection()) {
        m_sessionActive = true;
        m_hungUpBySelf = false;
    }
}

// The program's own line ended by a limit of the entry's own options (pppd's
// idle or connect-time limit): logged, and the session ends.
bool LineKeeper::endedByItsOwnLimit() {
    const CallId own = m_call.callId();
    if (own == 0) return false;
    CallInfo status;
    if (m_service.callStatus(own, &status) != dialup_error::None ||
        status.state != CallState::Disconnected || status.error != dialup_error::LimitReached)
        return false;
    const QString detail = m_service.failureDetail(own);
    m_hungUpBySelf = true;
    m_sessionActive = false;
    m_call.hangUpSilently();
    stopDisconnectTimer();
    m_log.writeLine(callEndLine(QStringLiteral("Connection ended"), dialup_error::LimitReached,
                                serviceErrorText(dialup_error::LimitReached), detail));
    return true;
}

// The drop watch looks whenever the dial-up service says that a call
// changed, once soon after it starts, and once a second besides.
void LineKeeper::startDropWatch() {
    if (m_dropWatch.enabled()) return;
    m_dropWatch.setInterval(EventLoop::kMinimumTimerMs);
    m_dropWatch.setEnabled(true);
}

void LineKeeper::onDropWatchTick() {
    m_dropWatch.setInterval(kSafetyLookMs);
    checkForDrop();
}

void LineKeeper::checkForDrop() {
    const bool detected = detectConnection();
    if (!detected && !m_hungUpBySelf && m_sessionActive && !m_reconnectCount.running() &&
        !endedByItsOwnLimit()) {
        // Something else ended the connection: offer to dial again.
        stopDisconnectTimer();
        emit reconnectOffered();
        m_reconnectCount.start();
        m_dropWatch.setEnabled(false);
        return;
    }
    if (!detected) emit statusChanged(QString());
}

int disconnectTimerMinutes(int stored) {
    // The dialog offers 0 to 1000 minutes. A larger value written by hand is
    // taken as the largest the dialog offers, so the warning moment always
    // fits the timer (it would overflow 32 bits of milliseconds past 35791).
    return std::min(stored, kMaxDisconnectMinutes);
}

int LineKeeper::disconnectWarningAfterMs() const {
    return m_disconnectTimer.enabled() ? m_disconnectTimer.interval() : 0;
}

void LineKeeper::startDisconnectTimer() {
    const int minutes = disconnectTimerMinutes(m_settings.number(Setting::DisconnectMinutes));
    if (minutes <= 0) return;
    // Re-arming replaces the interval and restarts the count.
    m_disconnectTimer.setEnabled(false);
    m_disconnectTimer.setInterval((minutes * 60 - 30) * 1000);
    m_disconnectTimer.setEnabled(true);
}

void LineKeeper::stopDisconnectTimer() {
    m_disconnectTimer.setEnabled(false);
    m_disconnectWarning.stop();
    emit disconnectWarningClosed();
}

// Thirty seconds before the chosen minute: the warning takes over the count.
void LineKeeper::warnOfDisconnect() {
    m_disconnectTimer.setEnabled(false);
    m_disconnectWarning.stop();
    emit disconnectWarningStarted();
    m_disconnectWarning.start();
}

void LineKeeper::cancelDisconnectWarning() {
    m_disconnectWarning.stop();
    emit disconnectWarningClosed();
}

void LineKeeper::hangUpByDisconnectTimer() {
    showConnectCommand(true);
    m_hungUpBySelf = true;
    // The program ended its own call: later alarms and clicks dial afresh.
    m_sessionActive = false;
    m_service.hangUp(m_detectedCall);
    m_log.writeLine(QStringLiteral("Disconnection made by disconnect timer"));
}

}  // namespace obu
