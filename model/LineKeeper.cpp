// The connect command, the program's own call's events, a busy line and the
// end of the reconnect count.
#include "model/LineKeeper.h"

#include "dialup/ModemCheck.h"
#include "model/EventLog.h"
#include "model/UserOptions.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"

namespace obu {
namespace {
// A hang-up without a call yields 0, so two rounds always end it; the bound
// only guards against a service that keeps failing.
constexpr int kMaxHangUps = 4;
}  // namespace

QString LineKeeper::callEndLine(const QString& what, std::int32_t error, const QString& errorText,
                                const QString& detail) {
    QString line = QStringLiteral("%1 (error %2): %3").arg(what).arg(error).arg(errorText);
    if (!detail.isEmpty()) line += QStringLiteral(" - ") + detail;
    return line;
}

LineKeeper::LineKeeper(Platform& platform, Settings& settings, EventLog& log,
                       const UserOptions& options)
    : m_platform(platform),
      m_service(*platform.dialUp),
      m_settings(settings),
      m_log(log),
      m_options(options),
      m_call(*platform.dialUp),
      m_lineMonitor(*platform.loop, 500),
      m_dropWatch(*platform.loop, EventLoop::kMinimumTimerMs),
      m_disconnectTimer(*platform.loop, 1000),
      m_reconnectCount(*platform.loop, 10),
      m_disconnectWarning(*platform.loop, 30) {
    connect(&m_call, &DialUpCall::stageReached, this, &LineKeeper::onDialStage);
    connect(&m_call, &DialUpCall::connected, this, &LineKeeper::onConnected);
    connect(&m_call, &DialUpCall::disconnected, this, &LineKeeper::onDisconnected);
    connect(&m_call, &DialUpCall::failed, this, &LineKeeper::onDialFailed);
    connect(&m_service, &DialUpService::callsChanged, this, [this] {
        if (m_dropWatch.enabled()) checkForDrop();
    });
    m_lineMonitor.setOnTimer([this] { checkForBusyLine(); });
    m_dropWatch.setOnTimer([this] { onDropWatchTick(); });
    m_disconnectTimer.setOnTimer([this] { warnOfDisconnect(); });
    connect(&m_reconnectCount, &Countdown::expired, this, [this] {
        emit reconnectOfferClosed();
        reconnectNow();
    });
    connect(&m_disconnectWarning, &Countdown::expired, this, [this] {
        emit disconnectWarningClosed();
        hangUpByDisconnectTimer();
    });
}

LineKeeper::~LineKeeper() = default;

void LineKeeper::chooseEntry(const QString& entry, const QString& userName,
                             const QString& password) {
    m_call.setEntryName(entry);
    m_call.setUserName(userName);
    m_call.setPassword(password);
}

QStringList LineKeeper::readEntryList() {
    m_call.refreshEntryList();
    return m_call.entryList();
}

void LineKeeper::writeLogLine(const QString& message) {
    m_log.writeLine(message);
}

void LineKeeper::writeLogLines(const QStringList& messages) {
    m_log.writeLines(messages);
}

void LineKeeper::showConnectCommand(bool lineFree) {
    emit connectFaceChanged(lineFree);
    emit connectItemChanged(lineFree);
}

void LineKeeper::showLineState() {
    showConnectCommand(m_readyToConnect);
}

void LineKeeper::showLineFree() {
    showConnectCommand(true);
}

bool LineKeeper::modemInUse() const {
    ModemCheck* check = m_platform.modemCheck;
    return check && check->modemInUse(m_call.entryName(), m_call.phoneBookPath());
}

bool LineKeeper::mayDialAtAlarm() const {
    return !modemInUse() && !m_sessionActive;
}

void LineKeeper::toggleConnection() {
    if (m_readyToConnect)
        dial();
    else
        hangUpByUser();
}

void LineKeeper::connectOnStart() {
    // A line already up (found at start) is kept and watched: the command
    // would hang it up.
    if (m_options.isOn(UserOptions::Option::ConnectOnStart) && m_readyToConnect) toggleConnection();
}

void LineKeeper::dial() {
    Dialogs& dialogs = *m_platform.dialogs;
    if (modemInUse()) {
        // Dialing could only fail; the extras may still be wanted.
        writeLogLines(
            {QStringLiteral("Connect requested by user"), QStringLiteral("Modem is in use")});
        if (dialogs.messageBox(
                QStringLiteral("OBU has detected that the modem is in use by another "
                               "application. Would you like OBU to run your extras?"),
                QStringLiteral("Modem In Use"), MsgIcon::Question,
                MsgButtons::YesNo) == MsgResult::Yes)
            emit extrasWanted();
        return;
    }
    if (m_call.entryName().isEmpty()) {
        if (dialogs.messageBox(
                QStringLiteral("Please choose a Connection before attempting to connect."),
                QStringLiteral("No Connection Set"), MsgIcon::Error,
                MsgButtons::Ok) == MsgResult::Ok)
            emit entryWanted();
        return;
    }
    m_sessionActive = true;
    m_hungUpBySelf = false;
    const std::int32_t refused = dialOwnCall();
    writeLogLine(QStringLiteral("Connect requested by user"));
    // Busy lines and a missing dial tone are the line monitor's; any other
    // refusal would otherwise leave the session waiting for a call that
    // never comes.
    if (refused != 0 && refused != dialup_error::LineBusy && refused != dialup_error::NoDialTone)
        reportDialFailure(refused, serviceErrorText(refused));
}

void LineKeeper::hangUpByUser() {
    m_hungUpBySelf = true;
    // Straight to the service: the call raises no disconnect event for this.
    m_service.hangUp(m_detectedCall);
    // A dial still in progress is not yet the detected connection: it is ended
    // too, silently, so that none of its later stages arrive.
    m_call.hangUpSilently();
    m_lineMonitor.setEnabled(false);
    m_dropWatch.setEnabled(false);
    stopDisconnectTimer();
    detectConnection();
    // The user ended the session: with no disconnect event to say so, it
    // would stay on and every later alarm would take the line for busy.
    m_sessionActive = false;
    writeLogLine(QStringLiteral("Disconnect requested by user"));
}

std::int32_t LineKeeper::dialOwnCall() {
    // Until the connect event a missing connection is this dial's own
    // business: the drop watch comes back when the line is up.
    m_dropWatch.setEnabled(false);
    // Busy lines and a missing dial tone are looked for while the call dials;
    // a line that is up has nothing more to wake the monitor for.
    m_lineMonitor.setEnabled(true);
    return m_call.dial();
}

QString LineKeeper::serviceErrorText(std::int32_t error) const {
    return m_service.errorText(static_cast<DialUpError>(error));
}

void LineKeeper::onDialFailed(DialUpError error, const QString& errorText) {
    // While the line monitor runs, busy lines and a missing dial tone are its
    // own to redial or report.
    if ((error == dialup_error::LineBusy || error == dialup_error::NoDialTone) &&
        m_lineMonitor.enabled())
        return;
    reportDialFailure(static_cast<std::int32_t>(error), errorText);
}

// A dial that failed for a reason other than a busy line or a missing dial
// tone: says why, ends the call and the session.
void LineKeeper::reportDialFailure(std::int32_t error, const QString& errorText) {
    const QString detail = m_service.failureDetail(m_call.callId());
    m_hungUpBySelf = true;
    m_sessionActive = false;
    // Nothing of the failed call is left for a later hang-up to find.
    m_call.hangUpSilently();
    stopDisconnectTimer();
    m_readyToConnect = true;
    showConnectCommand(true);
    const QString reason = errorText.isEmpty() ? QStringLiteral("Status Unknown") : errorText;
    emit statusChanged(QStringLiteral("Dial failed: ") + reason);
    writeLogLines({callEndLine(QStringLiteral("Dial failed"), error, reason, detail),
                   QStringLiteral("Connection Terminated by OBU")});
}

void LineKeeper::onDialStage(CallState state) {
    switch (state) {
        case CallState::OpenPort:
            emit statusChanged(QStringLiteral("connecting"));
            break;
        case CallState::PortOpened:
            m_readyToConnect = false;
            showConnectCommand(false);
            break;
        case CallState::Authenticate:
            emit statusChanged(QStringLiteral("authenticating user/pass"));
            writeLogLine(QStringLiteral("Sending username/password"));
            break;
        case CallState::Authenticated:
            emit statusChanged(QStringLiteral("authenticated"));
            writeLogLine(QStringLiteral("Username/Password authenticated by server"));
            break;
        default:
            break;
    }
}

void LineKeeper::onConnected() {
    m_sessionActive = true;
    m_hungUpBySelf = false;
    emit statusChanged(QStringLiteral("Connected to ") + m_call.entryName());
    emit connected();
    writeLogLine(QStringLiteral("Connection established to ") + m_call.entryName());
    m_lineMonitor.setEnabled(false);
    startDisconnectTimer();
    startDropWatch();
}

void LineKeeper::onDisconnected() {
    m_sessionActive = false;
    emit statusChanged(QStringLiteral("Disconnected from ") + m_call.entryName());
    m_readyToConnect = true;
    stopDisconnectTimer();
}

void LineKeeper::hangUpLeftovers() {
    for (int i = 0; m_call.lastError() != 0 && i < kMaxHangUps; ++i) m_call.hangUp();
}

// The line monitor: a busy line is redialled or reported, a missing dial tone reported.
void LineKeeper::checkForBusyLine() {
    const DialUpError result = m_call.lastError();
    if (result == dialup_error::LineBusy && m_options.isOn(UserOptions::Option::RedialIfBusy)) {
        redialBusyLine();
        return;
    }
    if (result == dialup_error::LineBusy) {
        m_hungUpBySelf = true;
        m_sessionActive = false;
        m_service.hangUp(m_detectedCall);
        hangUpLeftovers();
        m_platform.dialogs->messageBox(
            QStringLiteral(
                "The line that OBU was attempting to dial was busy. If you would like OBU to "
                "automatically redial the line until it creates a connection, choose \"Redial if "
                "Line is Busy\" in the Options menu."),
            QStringLiteral("Line Busy"), MsgIcon::None, MsgButtons::Ok);
        showConnectCommand(true);
        writeLogLines(
            {QStringLiteral("Line was busy"), QStringLiteral("Connection Terminated by OBU")});
        return;
    }
    if (result == dialup_error::NoDialTone) {
        m_hungUpBySelf = true;
        m_dropWatch.setEnabled(false);
        hangUpLeftovers();
        m_platform.dialogs->messageBox(
            QStringLiteral("OBU could not detect a dail tone while attempting to dial."),
            QStringLiteral("No Dial Tone"), MsgIcon::None, MsgButtons::Ok);
        showConnectCommand(true);
        writeLogLines(
            {QStringLiteral("No dial tone found"), QStringLiteral("Connection Terminated by OBU")});
        startDropWatch();
    }
}

void LineKeeper::redialBusyLine() {
    emit connectCommandEnabled(false);
    m_hungUpBySelf = true;
    m_sessionActive = false;
    m_call.hangUp();
    m_call.dial();
    hangUpLeftovers();
    m_platform.clock->sleep(500);
    m_call.dial();
    m_sessionActive = true;
    m_hungUpBySelf = false;
    emit connectCommandEnabled(true);
    writeLogLine(QStringLiteral("Line was busy - attempting to reconnect"));
}

// The reconnect count ran out: the same entry is dialled again.
void LineKeeper::reconnectNow() {
    const std::int32_t refused = dialOwnCall();
    writeLogLines({QStringLiteral("Connection Terminated by unknown source"),
                   QStringLiteral("Attempting to Reconnect.")});
    if (refused != 0) reportDialFailure(refused, serviceErrorText(refused));
}

void LineKeeper::cancelReconnect() {
    m_reconnectCount.stop();
    emit reconnectOfferClosed();
    m_sessionActive = false;
    showConnectCommand(true);
    m_readyToConnect = true;
    writeLogLines({QStringLiteral("Connection Terminated by unknown source"),
                   QStringLiteral("Reconnect canceled by user")});
}

void LineKeeper::stopWatching() {
    m_dropWatch.setEnabled(false);
    m_lineMonitor.setEnabled(false);
}

}  // namespace obu
