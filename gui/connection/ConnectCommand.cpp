// The connect command and the main window's handlers of the dial events.
#include "dialup/ModemCheck.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

namespace obu {

void MainWindow::DrawConnectFace() {
    m_connectButton->DrawFace(m_connectFaces, 0);
}

void MainWindow::DrawDisconnectFace() {
    m_connectButton->DrawFace(m_disconnectFaces, 0);
}

bool MainWindow::ModemInUse() {
    ModemCheck* check = platform().modemCheck;
    return check && check->modemInUse(m_call->entryName(), m_call->phoneBookPath());
}

void MainWindow::toggleConnection() {
    if (ReadyToConnect) {
        if (ModemInUse()) {
            // Dialing could only fail; the extras may still be wanted.
            WriteLogLines(
                {QStringLiteral("Connect requested by user"), QStringLiteral("Modem is in use")});
            if (platform().dialogs->messageBox(
                    QStringLiteral(
                        "OBU has detected that the modem is in use by another application. "
                        "Would you like OBU to run your extras?"),
                    QStringLiteral("Modem In Use"), MsgIcon::Question,
                    MsgButtons::YesNo) == MsgResult::Yes)
                LaunchExtras();
            return;
        }
        if (m_call->entryName().isEmpty()) {
            if (platform().dialogs->messageBox(
                    QStringLiteral("Please choose a Connection before attempting to connect."),
                    QStringLiteral("No Connection Set"), MsgIcon::Error,
                    MsgButtons::Ok) == MsgResult::Ok)
                openConnectionPage();
            return;
        }
        SessionActive = true;
        HungUpBySelf = false;
        const std::int32_t refused = DialOwnCall();
        m_lineMonitor.setEnabled(true);
        WriteLogLine(QStringLiteral("Connect requested by user"));
        // Busy lines and a missing dial tone are the line monitor's; any other
        // refusal would otherwise leave the session waiting for a call that
        // never comes.
        if (refused != 0 && refused != dialup_error::LineBusy &&
            refused != dialup_error::NoDialTone)
            ReportDialFailure(refused, ServiceErrorText(refused));
        return;
    }
    HungUpBySelf = true;
    // Straight to the service: the component raises no disconnect event for this.
    platform().dialUp->hangUp(DetectedConnection);
    // A dial still in progress is not yet the detected connection: it is ended
    // too, silently, so that none of its later stages arrive.
    m_call->hangUpSilently();
    m_lineMonitor.setEnabled(false);
    m_dropWatch.setEnabled(false);
    StopDisconnectTimer();
    DetectConnection();
    // The user ended the session: with no disconnect event to say so, the
    // flag would stay set and every later alarm would take the line for busy.
    SessionActive = false;
    WriteLogLine(QStringLiteral("Disconnect requested by user"));
}

std::int32_t MainWindow::DialOwnCall() {
    // Until the connect event a missing connection is this dial's own
    // business: the drop watch comes back when the line is up.
    m_dropWatch.setEnabled(false);
    return m_call->dial();
}

QString MainWindow::ServiceErrorText(std::int32_t error) {
    return platform().dialUp->errorText(static_cast<DialUpError>(error));
}

QString MainWindow::CallEndLine(const QString& what, std::int32_t error, const QString& errorText,
                                const QString& detail) {
    QString line = QStringLiteral("%1 (error %2): %3").arg(what).arg(error).arg(errorText);
    if (!detail.isEmpty()) line += QStringLiteral(" - ") + detail;
    return line;
}

void MainWindow::onDialFailed(DialUpError error, const QString& errorText) {
    // While the line monitor runs, busy lines and a missing dial tone are its
    // own to redial or report.
    if ((error == dialup_error::LineBusy || error == dialup_error::NoDialTone) &&
        m_lineMonitor.enabled())
        return;
    ReportDialFailure(static_cast<std::int32_t>(error), errorText);
}

void MainWindow::ReportDialFailure(std::int32_t error, const QString& errorText) {
    const QString detail = platform().dialUp->failureDetail(m_call->callId());
    HungUpBySelf = true;
    SessionActive = false;
    // Nothing of the failed call is left for a later hang-up to find.
    m_call->hangUpSilently();
    StopDisconnectTimer();
    ReadyToConnect = true;
    DrawConnectFace();
    program().trayMenu->connectItem->setText(QStringLiteral("Connect"));
    const QString reason = errorText.isEmpty() ? QStringLiteral("Status Unknown") : errorText;
    m_statusLine->setText(QStringLiteral("Dial failed: ") + reason);
    WriteLogLines({CallEndLine(QStringLiteral("Dial failed"), error, reason, detail),
                   QStringLiteral("Connection Terminated by OBU")});
}

void MainWindow::onDialStage(CallState state) {
    switch (state) {
        case CallState::OpenPort:
            m_statusLine->setText(QStringLiteral("connecting"));
            break;
        case CallState::PortOpened:
            ReadyToConnect = false;
            DrawDisconnectFace();
            program().trayMenu->connectItem->setText(QStringLiteral("Disconnect"));
            break;
        case CallState::Authenticate:
            m_statusLine->setText(QStringLiteral("authenticating user/pass"));
            WriteLogLine(QStringLiteral("Sending username/password"));
            break;
        case CallState::Authenticated:
            m_statusLine->setText(QStringLiteral("authenticated"));
            WriteLogLine(QStringLiteral("Username/Password authenticated by server"));
            break;
        default:
            break;
    }
}

void MainWindow::onConnected() {
    SessionActive = true;
    HungUpBySelf = false;
    m_statusLine->setText(QStringLiteral("Connected to ") + m_call->entryName());
    LaunchExtras();
    if (program().trayMenu->minimizeDialUpOption->isChecked())
        m_dialUpWindowSearch.setEnabled(true);
    WriteLogLine(QStringLiteral("Connection established to ") + m_call->entryName());
    StartDisconnectTimer();
    startDropWatch();
}

void MainWindow::onDisconnected() {
    SessionActive = false;
    m_statusLine->setText(QStringLiteral("Disconnected from ") + m_call->entryName());
    ReadyToConnect = true;
    StopDisconnectTimer();
}

void MainWindow::pressConnectButton(Qt::MouseButton) {
    PlayUiSound(QStringLiteral("obubtnd.okx"));
    m_connectButton->DrawFace(ReadyToConnect ? m_connectFaces : m_disconnectFaces, 1);
}

void MainWindow::releaseConnectButton(Qt::MouseButton) {
    PlayUiSound(QStringLiteral("obubtnu.okx"));
    m_connectButton->DrawFace(ReadyToConnect ? m_connectFaces : m_disconnectFaces, 0);
    program().trayMenu->connectItem->setText(ReadyToConnect ? QStringLiteral("Connect")
                                                            : QStringLiteral("Disconnect"));
}

}  // namespace obu
