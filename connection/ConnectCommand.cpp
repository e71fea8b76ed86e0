// The connect command and the main window's handlers of the dial events.
#include "connection/ModemCheck.h"
#include "core/Program.h"
#include "core/TForm1.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "shell/TForm2.h"

namespace obu {

void TForm1::DrawConnectFace() { Image10->DrawFace(ImageList2, 0); }

void TForm1::DrawDisconnectFace() { Image10->DrawFace(ImageList8, 0); }

bool TForm1::ModemInUse() {
    ModemCheck* check = platform().modemCheck;
    return check && check->modemInUse(RAS1->EntryName(), RAS1->PhoneBookPath());
}

void TForm1::Image10Click(QObject*) {
    if (ReadyToConnect) {
        if (ModemInUse()) {
            // Dialing could only fail; the extras may still be wanted.
            WriteLogLines({QStringLiteral("Connect requested by user"), QStringLiteral("Modem is in use")});
            if (platform().dialogs->messageBox(
                    QStringLiteral("OBU has detected that the modem is in use by another application. "
                                   "Would you like OBU to run your extras?"),
                    QStringLiteral("Modem In Use"), MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes)
                LaunchExtras();
            return;
        }
        if (RAS1->EntryName().isEmpty()) {
            if (platform().dialogs->messageBox(QStringLiteral("Please choose a Connection before attempting to connect."),
                                               QStringLiteral("No Connection Set"), MsgIcon::Error,
                                               MsgButtons::Ok) == MsgResult::Ok)
                Image14Click(this);
            return;
        }
        SessionActive = true;
        HungUpBySelf = false;
        const std::int32_t refused = DialOwnCall();
        tm_dis.setEnabled(true);
        WriteLogLine(QStringLiteral("Connect requested by user"));
        // Busy lines and a missing dial tone are the line monitor's; any other
        // refusal would otherwise leave the session waiting for a call that
        // never comes.
        if (refused != 0 && refused != ERROR_LINE_BUSY && refused != ERROR_NO_DIALTONE)
            ReportDialFailure(refused, ServiceErrorText(refused));
        return;
    }
    HungUpBySelf = true;
    // Straight to the service: the component raises no disconnect event for this.
    platform().ras->RasHangUpA(DetectedConnection);
    // A dial still in progress is not yet the detected connection: it is ended
    // too, silently, so that none of its later stages arrive.
    RAS1->HangUpSilently();
    tm_dis.setEnabled(false);
    Timer3.setEnabled(false);
    StopDisconnectTimer();
    DetectConnection();
    // The user ended the session: with no disconnect event to say so, the
    // flag would stay set and every later alarm would take the line for busy.
    SessionActive = false;
    WriteLogLine(QStringLiteral("Disconnect requested by user"));
}

std::int32_t TForm1::DialOwnCall() {
    // Until the connect event a missing connection is this dial's own
    // business: the drop watch comes back when the line is up.
    Timer3.setEnabled(false);
    return RAS1->Dial();
}

QString TForm1::ServiceErrorText(std::int32_t error) {
    char text[257] = {};
    platform().ras->RasGetErrorStringA(static_cast<DWORD>(error), text, 256);
    return QString::fromLatin1(text);
}

QString TForm1::CallEndLine(const QString& what, std::int32_t error, const QString& errorText,
                            const QString& detail) {
    QString line = QStringLiteral("%1 (error %2): %3").arg(what).arg(error).arg(errorText);
    if (!detail.isEmpty()) line += QStringLiteral(" - ") + detail;
    return line;
}

void TForm1::RAS1DialError(TRAS*, std::int32_t Error, const QString& ErrorString) {
    // While the line monitor runs, busy lines and a missing dial tone are its
    // own to redial or report.
    if ((Error == ERROR_LINE_BUSY || Error == ERROR_NO_DIALTONE) && tm_dis.enabled()) return;
    ReportDialFailure(Error, ErrorString);
}

void TForm1::ReportDialFailure(std::int32_t error, const QString& errorText) {
    const QString detail = platform().ras->failureDetail(RAS1->ConnectionHandle());
    HungUpBySelf = true;
    SessionActive = false;
    // Nothing of the failed call is left for a later hang-up to find.
    RAS1->HangUpSilently();
    StopDisconnectTimer();
    ReadyToConnect = true;
    DrawConnectFace();
    program().Form2->Connect1->setText(QStringLiteral("Connect"));
    const QString reason = errorText.isEmpty() ? QStringLiteral("Status Unknown") : errorText;
    Status2->setText(QStringLiteral("Dial failed: ") + reason);
    WriteLogLines({CallEndLine(QStringLiteral("Dial failed"), error, reason, detail),
                   QStringLiteral("Connection Terminated by OBU")});
}

void TForm1::RAS1AboutToOpenPort(TRAS*) { Status2->setText(QStringLiteral("connecting")); }

void TForm1::RAS1PortOpened(TRAS*) {
    ReadyToConnect = false;
    DrawDisconnectFace();
    program().Form2->Connect1->setText(QStringLiteral("Disconnect"));
}

void TForm1::RAS1Authenticate(TRAS*) {
    Status2->setText(QStringLiteral("authenticating user/pass"));
    WriteLogLine(QStringLiteral("Sending username/password"));
}

void TForm1::RAS1Authenticated(TRAS*) {
    Status2->setText(QStringLiteral("authenticated"));
    WriteLogLine(QStringLiteral("Username/Password authenticated by server"));
}

void TForm1::RAS1Connect(TRAS*) {
    SessionActive = true;
    HungUpBySelf = false;
    Status2->setText(QStringLiteral("Connected to ") + RAS1->EntryName());
    LaunchExtras();
    if (program().Form2->MinimizeDUNonConnect1->isChecked()) Timer6.setEnabled(true);
    WriteLogLine(QStringLiteral("Connection established to ") + RAS1->EntryName());
    StartDisconnectTimer();
    Timer3.setEnabled(true);
}

void TForm1::RAS1Disconnect(TRAS*, std::int32_t, const QString&) {
    SessionActive = false;
    Status2->setText(QStringLiteral("Disconnected from ") + RAS1->EntryName());
    ReadyToConnect = true;
    StopDisconnectTimer();
}

void TForm1::Image10MouseDown(Qt::MouseButton) {
    PlayUiSound(QStringLiteral("obubtnd.okx"));
    Image10->DrawFace(ReadyToConnect ? ImageList2 : ImageList8, 1);
}

void TForm1::Image10MouseUp(Qt::MouseButton) {
    PlayUiSound(QStringLiteral("obubtnu.okx"));
    Image10->DrawFace(ReadyToConnect ? ImageList2 : ImageList8, 0);
    program().Form2->Connect1->setText(ReadyToConnect ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
}

}  // namespace obu
