// The connect command, the kept call's way up, and a dial that fails.
#include "model/LineKeeper.h"

#include "dialup/ModemCheck.h"
#include "model/EventLog.h"
#include "model/History.h"
#include "model/LinkCheck.h"
#include "model/UserOptions.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"
#include "platform/ResumeSource.h"

namespace obu {
namespace {
// The most names the entry list offers.
constexpr int kMaxEntries = 20;
// How long a busy line rests before it is dialled again.
constexpr int kBusyRedialPauseMs = 500;
// NetworkManager takes its connections back within seconds of its start.
constexpr int kSourceGraceMs = 20000;
}  // namespace

LineKeeper::LineKeeper(Platform& platform, Settings& settings, EventLog& log,
                       const UserOptions& options)
    : m_platform(platform),
      m_service(*platform.dialUp),
      m_settings(settings),
      m_log(log),
      m_options(options),
      m_firstLook(*platform.loop, EventLoop::kMinimumTimerMs),
      m_busyRedial(*platform.loop, kBusyRedialPauseMs),
      m_sourceGrace(*platform.loop, kSourceGraceMs),
      m_disconnectTimer(*platform.loop, 1000),
      m_reconnectCount(*platform.loop, 10),
      m_disconnectWarning(*platform.loop, 30),
      m_linkCheck(std::make_unique<LinkCheck>(platform, settings)) {
    m_firstLook.setOnTimer([this] {
        m_firstLook.setEnabled(false);
        showKeptLine();
    });
    m_busyRedial.setOnTimer([this] {
        m_busyRedial.setEnabled(false);
        dialKeptEntry(m_reconnecting);
        emit connectCommandEnabled(true);
    });
    m_disconnectTimer.setOnTimer([this] { warnOfDisconnect(); });
    connect(&m_reconnectCount, &Countdown::expired, this, &LineKeeper::onCountEnded);
    connect(&m_disconnectWarning, &Countdown::expired, this, [this] {
        emit disconnectWarningClosed();
        hangUpByDisconnectTimer();
    });
    m_sourceGrace.setOnTimer([this] {
        m_sourceGrace.setEnabled(false);
        if (m_state == State::WaitingForSource && !m_call) onDropped();
    });
    connect(&m_service, &DialUpService::sourcesChanged, this, &LineKeeper::onSourcesChanged);
    connect(&m_service, &DialUpService::callsChanged, this, &LineKeeper::lookForLineBack);
    connect(&m_service, &DialUpService::entriesChanged, this,
            [this] { emit entryListChanged(readEntryList()); });
    connect(m_linkCheck.get(), &LinkCheck::dead, this, &LineKeeper::onLinkDead);
    if (platform.resume)
        connect(platform.resume, &ResumeSource::resumed, this, &LineKeeper::lookAtLineNow);
    if (!platform.logFolder.isEmpty() || !platform.programFolder.isEmpty())
        m_history = std::make_unique<History>(platform.logPath(QLatin1String(History::kFileName)));
}

LineKeeper::~LineKeeper() = default;

void LineKeeper::setState(State state) {
    if (state == m_state) return;
    m_state = state;
    if (state != State::Up) m_linkCheck->stop();
    emit stateChanged(state);
}

void LineKeeper::chooseEntry(const QString& entry, const QString& userName,
                             const QString& password) {
    m_entry = entry;
    m_userName = userName;
    m_password = password;
}

QStringList LineKeeper::readEntryList() {
    QList<EntryInfo> entries;
    QStringList names;
    if (m_service.entries(QString(), &entries) != dialup_error::None) return names;
    for (const EntryInfo& entry : entries) {
        if (names.size() == kMaxEntries) break;
        if (!entry.name.isEmpty()) names.append(entry.name);
    }
    return names;
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
    showConnectCommand(m_lineFree);
}

void LineKeeper::showLineFree() {
    showConnectCommand(true);
}

// The kept line is gone: the command shows Connect again, and the status line
// says so once.
void LineKeeper::showLineGone() {
    if (m_lineFree) return;
    m_lineFree = true;
    emit statusChanged(QStringLiteral("No connection was detected."));
    emit connectFaceChanged(true);
}

bool LineKeeper::modemInUse() const {
    ModemCheck* check = m_platform.modemCheck;
    return check && check->modemInUse(m_entry, QString());
}

QString LineKeeper::whyAlarmCannotDial() const {
    if (m_state != State::Idle)
        return QStringLiteral("a connection to ") + m_entry + QStringLiteral(" is being kept");
    if (modemInUse()) return QStringLiteral("the modem is in use by another application");
    return {};
}

void LineKeeper::toggleConnection() {
    if (m_lineFree)
        dialByUser();
    else
        hangUpByUser();
}

void LineKeeper::connectOnStart() {
    // A line already up (found at start) is kept and followed: the command
    // would hang it up.
    if (m_options.isOn(UserOptions::Option::ConnectOnStart) && m_state == State::Idle && m_lineFree)
        toggleConnection();
}

void LineKeeper::dialByUser() {
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
    if (m_entry.isEmpty()) {
        if (dialogs.messageBox(
                QStringLiteral("Please choose a Connection before attempting to connect."),
                QStringLiteral("No Connection Set"), MsgIcon::Error,
                MsgButtons::Ok) == MsgResult::Ok)
            emit entryWanted();
        return;
    }
    // One dial of the kept line at a time: a count or a wait to retry ends here.
    stopReconnectCount();
    m_retryWaitSeconds = 10;
    dialKeptEntry(false);
    writeLogLine(QStringLiteral("Connect requested by user"));
    if (m_call && m_call->hasEnded()) onDialFailed(m_call->endError());
}

void LineKeeper::hangUpByUser() {
    recordSession(historyEnding(CallEnd::HungUpHere));
    if (m_call) m_call->hangUp();
    m_call.reset();
    m_busyRedial.setEnabled(false);
    m_firstLook.setEnabled(false);
    stopReconnectCount();
    stopDisconnectTimer();
    setState(State::Idle);
    showLineGone();
    writeLogLine(QStringLiteral("Disconnect requested by user"));
}

void LineKeeper::dialKeptEntry(bool reconnecting) {
    if (m_call) m_call->hangUp();
    m_reconnecting = reconnecting;
    setState(State::Dialling);
    DialRequest request;
    request.entry = m_entry;
    request.userName = m_userName;
    request.password = m_password;
    followCall(m_service.dial(request));
    // The copy of the password does not stay in memory longer than the dial needs it.
    request.password.fill(QLatin1Char('\0'));
}

void LineKeeper::followCall(std::unique_ptr<Call> call) {
    m_call = std::move(call);
    connect(m_call.get(), &Call::stageReached, this, &LineKeeper::onStage);
    connect(m_call.get(), &Call::connected, this, &LineKeeper::onConnected);
    connect(m_call.get(), &Call::ended, this, &LineKeeper::onCallEnded);
}

void LineKeeper::onStage(CallState state) {
    // The stages of the keeper's own dial; a line it waits to take back
    // comes up without a word.
    if (m_state != State::Dialling) return;
    switch (state) {
        case CallState::OpenPort:
            emit statusChanged(QStringLiteral("connecting"));
            break;
        case CallState::PortOpened:
            m_lineFree = false;
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
    if (m_state == State::WaitingForSource) {
        // The line its source took back after a restart: the same session.
        keepLineUp(false);
        writeLogLine(QStringLiteral("The connection's service is back; connection to ") + m_entry +
                     QStringLiteral(" still up"));
        return;
    }
    m_reconnecting = false;
    m_lineFree = false;
    m_sessionStart = m_platform.clock->now();
    setState(State::Up);
    emit statusChanged(QStringLiteral("Connected to ") + m_entry);
    emit connected();
    writeLogLine(QStringLiteral("Connection established to ") + m_entry);
    startDisconnectTimer();
    m_firstLook.setEnabled(true);
    m_linkCheck->start();
}

void LineKeeper::onCallEnded(CallEnd how, DialUpError error) {
    switch (how) {
        case CallEnd::Dropped:
            onDropped();
            return;
        case CallEnd::LimitReached:
            onLimitReached();
            return;
        case CallEnd::ServiceGone:
            onSourceGone();
            return;
        case CallEnd::Failed:
            onDialFailed(error);
            return;
        case CallEnd::None:
        case CallEnd::HungUpHere:
            return;
    }
}

void LineKeeper::onDialFailed(DialUpError error) {
    if (error == dialup_error::LineBusy && m_options.isOn(UserOptions::Option::RedialIfBusy)) {
        redialBusyLine();
    } else if (error == dialup_error::LineBusy) {
        reportBusyLine();
    } else if (error == dialup_error::NoDialTone) {
        reportNoDialTone();
    } else if (!(m_reconnecting && retryAfterFailure(error))) {
        reportDialFailure(error);
    }
}

// The session ends with the kept call: nothing is left of it to hang up.
void LineKeeper::endSession() {
    m_call.reset();
    m_reconnecting = false;
    m_busyRedial.setEnabled(false);
    stopDisconnectTimer();
    setState(State::Idle);
}

void LineKeeper::reportBusyLine() {
    endSession();
    m_platform.dialogs->messageBox(
        QStringLiteral(
            "The line that OBU was attempting to dial was busy. If you would like OBU to "
            "automatically redial the line until it creates a connection, choose \"Redial if "
            "Line is Busy\" in the Options menu."),
        QStringLiteral("Line Busy"), MsgIcon::None, MsgButtons::Ok);
    m_lineFree = true;
    showConnectCommand(true);
    writeLogLines(
        {QStringLiteral("Line was busy"), QStringLiteral("Connection Terminated by OBU")});
}

void LineKeeper::reportNoDialTone() {
    // A dial without a dial tone ends the session as any other failed dial:
    // a later alarm would otherwise take the line for busy.
    endSession();
    m_platform.dialogs->messageBox(
        QStringLiteral("OBU could not detect a dail tone while attempting to dial."),
        QStringLiteral("No Dial Tone"), MsgIcon::None, MsgButtons::Ok);
    m_lineFree = true;
    showConnectCommand(true);
    emit statusChanged(QString());
    writeLogLines(
        {QStringLiteral("No dial tone found"), QStringLiteral("Connection Terminated by OBU")});
}

void LineKeeper::redialBusyLine() {
    emit connectCommandEnabled(false);
    m_call.reset();
    writeLogLine(QStringLiteral("Line was busy - attempting to reconnect"));
    // The modem rests a moment before it dials again; the program's loop goes
    // on meanwhile.
    m_busyRedial.setEnabled(true);
}

QString LineKeeper::errorTextOf(DialUpError error) const {
    const QString text = m_service.errorText(error);
    return text.isEmpty() ? QStringLiteral("Status Unknown") : text;
}

QString LineKeeper::callEndLine(const QString& what, DialUpError error) const {
    QString line = QStringLiteral("%1 (error %2): %3").arg(what).arg(error).arg(errorTextOf(error));
    const QString detail = m_call ? m_call->endDetail() : QString();
    if (!detail.isEmpty()) line += QStringLiteral(" - ") + detail;
    return line;
}

// A dial that failed for a reason other than a busy line or a missing dial
// tone: says why, and the session ends.
void LineKeeper::reportDialFailure(DialUpError error) {
    QStringList lines{callEndLine(QStringLiteral("Dial failed"), error)};
    // Only an end that this program caused is its own termination; a dial
    // ended from outside says so by its code alone.
    if (error != dialup_error::Disconnection && error != dialup_error::RemoteDisconnection)
        lines << QStringLiteral("Connection Terminated by OBU");
    // Said while the session it ends is still on.
    const QString status = QStringLiteral("Dial failed: ") + errorTextOf(error);
    emit dialFailed(status);
    endSession();
    m_lineFree = true;
    showConnectCommand(true);
    emit statusChanged(status);
    writeLogLines(lines);
}

void LineKeeper::recordSession(const QString& ending) {
    if (!m_sessionStart.isValid()) return;
    HistorySession session;
    session.entry = m_entry;
    session.start = m_sessionStart;
    session.end = m_platform.clock->now();
    session.ending = ending;
    m_sessionStart = QDateTime();
    if (m_history && !m_history->append(session))
        writeLogLine(QStringLiteral("The history cannot be kept: ") + m_history->problem());
}

void LineKeeper::stopWatching() {
    // The line stays up, but what is known of this session is kept.
    recordSession(QStringLiteral("program ended"));
    m_firstLook.setEnabled(false);
    m_busyRedial.setEnabled(false);
    m_linkCheck->stop();
    if (m_call) disconnect(m_call.get(), nullptr, this, nullptr);
}

}  // namespace obu
