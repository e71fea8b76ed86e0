// The kept line's end (a drop, the entry's own limit, its source going
// away), finding it up again, the reconnect and its retries, and the
// disconnect timer.
#include <algorithm>

#include "model/EventLog.h"
#include "model/History.h"
#include "model/LineKeeper.h"
#include "model/LinkCheck.h"
#include "model/Settings.h"
#include "model/StateText.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

namespace obu {
namespace {
// A connection that lasted this long was a good one: the next failure waits
// the shortest time again.
constexpr qint64 kGoodConnectionMs = 60000;
constexpr int kFirstRetryWaitSeconds = 10;

// Failures that waiting cannot mend: the login refused, no such entry, no
// PPP in the kernel, no permission.
bool worthRetrying(DialUpError error) {
    switch (error) {
        case dialup_error::AuthenticationFailure:
        case dialup_error::CannotFindEntry:
        case dialup_error::CannotInitialize:
        case dialup_error::AccessDenied:
            return false;
        default:
            return true;
    }
}
}  // namespace

void LineKeeper::adoptConnectionAtStart() {
    // A source still reading what it has (NetworkManager at start) may list
    // the line a moment later.
    if (!adoptLineUp(true) && !m_service.sourcesReady()) m_adoptWhenReady = true;
}

// A line of the chosen entry that is up, started by somebody else or kept
// from an earlier run, becomes the kept call. Only the chosen entry's line
// counts, never another call of the machine.
bool LineKeeper::adoptLineUp(bool atStart) {
    CallInfo up;
    if (!m_service.findUp(m_entry, &up)) return false;
    m_call.reset();
    followCall(m_service.follow(up));
    keepLineUp(atStart);
    return true;
}

// The kept call, found or taken back up, is followed as the session's line.
void LineKeeper::keepLineUp(bool atStart) {
    // A line taken back after its source's restart goes on with its session.
    if (!m_sessionStart.isValid()) m_sessionStart = m_platform.clock->now();
    m_lineFree = false;
    setState(State::Up);
    // At start the tray's item follows the button on its next press; later
    // both show the line as it is.
    if (atStart)
        emit connectFaceChanged(false);
    else
        showConnectCommand(false);
    showKeptLine();
    m_linkCheck->start();
}

// The status line describes the kept line as the service lists it.
void LineKeeper::showKeptLine() {
    if (!m_call || !m_call->isUp()) return;
    QList<CallInfo> calls;
    if (m_service.calls(&calls) != dialup_error::None) {
        emit statusChanged(QStringLiteral("Unable to retrieve established connections."));
        return;
    }
    for (const CallInfo& call : calls) {
        if (call.id != m_call->id()) continue;
        emit statusChanged(call.entry + QStringLiteral(" - ") +
                           stateText(m_service, call.state, call.error) +
                           QStringLiteral("   Device: ") + call.deviceName);
        return;
    }
}

void LineKeeper::lookAtLineNow() {
    // Whatever happened to the line while the machine slept, the service
    // says so now; a line of the chosen entry up meanwhile is taken over.
    if (m_state == State::Up && m_call) {
        writeLogLine(QStringLiteral("Awake after sleep: looking at the connection"));
        // A fresh list lets the service look at the processes behind calls.
        QList<CallInfo> listed;
        m_service.calls(&listed);
        m_call->checkStillThere();
    }
    if (m_state == State::Idle && m_adoptWhenReady) onSourcesChanged();
}

// Something else ended the kept line: offer to dial again.
void LineKeeper::onDropped() {
    // A session that lasted a minute was a good one: the next wait is short.
    if (m_sessionStart.isValid() &&
        m_sessionStart.msecsTo(m_platform.clock->now()) >= kGoodConnectionMs)
        m_retryWaitSeconds = kFirstRetryWaitSeconds;
    recordSession(historyEnding(CallEnd::Dropped));
    m_firstLook.setEnabled(false);
    stopDisconnectTimer();
    showLineGone();
    setState(State::CountingDown);
    emit dropped();
    emit reconnectOffered();
    m_reconnectCount.start();
}

// The entry's own options (pppd's idle or connect-time limit) ended the line:
// logged, and the session ends.
void LineKeeper::onLimitReached() {
    recordSession(historyEnding(CallEnd::LimitReached));
    const QString line =
        callEndLine(QStringLiteral("Connection ended"), dialup_error::LimitReached);
    endSession();
    showLineGone();
    writeLogLine(line);
}

// The kept line's source went away (NetworkManager restarting): nothing is
// known of the line until it is back, so nothing is dialled or hung up.
void LineKeeper::onSourceGone() {
    m_firstLook.setEnabled(false);
    m_sourceGrace.setEnabled(false);
    m_call.reset();
    stopReconnectCount();
    setState(State::WaitingForSource);
    QString gone = m_service.errorText(dialup_error::ServiceGone);
    if (gone.isEmpty()) gone = QStringLiteral("The connection's service is not running.");
    emit statusChanged(gone + QStringLiteral(" Waiting for it to come back."));
    writeLogLine(QStringLiteral("Waiting for the connection's service: ") + gone);
}

void LineKeeper::onSourcesChanged() {
    if (!m_service.sourcesReady()) return;
    if (m_state == State::Idle && m_adoptWhenReady) {
        m_adoptWhenReady = false;
        adoptLineUp(true);
        return;
    }
    if (m_state != State::WaitingForSource || m_call) return;
    // A source back from a restart takes its connections back one by one:
    // the line is looked for as they come, for a while.
    m_sourceGrace.setEnabled(true);
    lookForLineBack();
}

// Back with the line still up (taken back after a restart): the session goes
// on as it was. Back with it on its way up again: it is waited for.
void LineKeeper::lookForLineBack() {
    if (m_state != State::WaitingForSource || m_call || !m_sourceGrace.enabled()) return;
    if (adoptLineUp(false)) {
        m_sourceGrace.setEnabled(false);
        writeLogLine(QStringLiteral("The connection's service is back; connection to ") + m_entry +
                     QStringLiteral(" still up"));
        return;
    }
    CallInfo coming;
    if (!m_service.findUp(m_entry, &coming, false)) return;
    m_sourceGrace.setEnabled(false);
    followCall(m_service.follow(coming));
}

void LineKeeper::onCountEnded() {
    emit reconnectOfferClosed();
    if (m_state == State::CountingDown)
        writeLogLine(QStringLiteral("Connection Terminated by unknown source"));
    reconnectNow();
}

// The count ran out: the same entry is dialled again, unless it is up again
// already (brought back by NetworkManager, by another program), which is
// then followed instead.
void LineKeeper::reconnectNow() {
    if (adoptLineUp(false)) {
        writeLogLine(QStringLiteral("Connection to ") + m_entry + QStringLiteral(" is up again"));
        return;
    }
    emit reconnectStarted();
    dialKeptEntry(true);
    writeLogLine(QStringLiteral("Attempting to Reconnect."));
    if (m_call && m_call->hasEnded()) onDialFailed(m_call->endError());
}

// A reconnect dial failed: while the option says so, it is tried again after
// a wait that doubles each time, up to ten minutes. False when it is not.
bool LineKeeper::retryAfterFailure(DialUpError error) {
    if (!m_settings.flag(Setting::KeepTrying) || !worthRetrying(error)) return false;
    const int wait = m_retryWaitSeconds;
    m_retryWaitSeconds = std::min(wait * 2, kMaxRetryWaitSeconds);
    const QString line = callEndLine(QStringLiteral("Reconnect failed"), error) +
                         QStringLiteral("; trying again in %1 seconds").arg(wait);
    m_call.reset();
    m_reconnecting = false;
    m_lineFree = true;
    showConnectCommand(true);
    setState(State::WaitingToRetry);
    const QString status = QStringLiteral("Reconnect failed: ") + errorTextOf(error);
    emit statusChanged(status);
    emit dialFailed(status);
    writeLogLine(line);
    emit reconnectOffered();
    m_reconnectCount.startFrom(wait);
    return true;
}

void LineKeeper::stopReconnectCount() {
    if (!m_reconnectCount.running()) return;
    m_reconnectCount.stop();
    emit reconnectOfferClosed();
}

void LineKeeper::cancelReconnect() {
    const bool afterDrop = m_state == State::CountingDown;
    stopReconnectCount();
    endSession();
    showConnectCommand(true);
    m_lineFree = true;
    QStringList lines;
    if (afterDrop) lines << QStringLiteral("Connection Terminated by unknown source");
    lines << QStringLiteral("Reconnect canceled by user");
    writeLogLines(lines);
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
    recordSession(historyEnding(CallEnd::HungUpHere));
    showConnectCommand(true);
    // Only the kept call: another line of the machine is none of the timer's business.
    if (m_call) m_call->hangUp();
    endSession();
    showLineGone();
    writeLogLine(QStringLiteral("Disconnection made by disconnect timer"));
}

// The line is up but nothing passes: it is hung up and dialled again as
// after a drop.
void LineKeeper::onLinkDead(const QString& why) {
    if (m_state != State::Up || !m_call) return;
    recordSession(QStringLiteral("no traffic"));
    m_call->hangUp();
    writeLogLine(QStringLiteral("The line is up but no traffic passes: ") + why);
    onDropped();
}

}  // namespace obu
