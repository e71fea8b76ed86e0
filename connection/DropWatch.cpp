// The drop watch: notices that a connection the program looks after has gone.
#include "connection/TForm5.h"
#include "core/Program.h"
#include "core/TForm1.h"
#include "platform/Platform.h"

namespace obu {

bool TForm1::EndedByItsOwnLimit() {
    const HRASCONN own = RAS1->ConnectionHandle();
    if (own == 0) return false;
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    if (platform().ras->RasGetConnectStatusA(own, &status) != 0 ||
        status.rasconnstate != RASCS_Disconnected || status.dwError != ERROR_IDLE_DISCONNECTED)
        return false;
    const QString detail = platform().ras->failureDetail(own);
    HungUpBySelf = true;
    SessionActive = false;
    RAS1->HangUpSilently();
    StopDisconnectTimer();
    WriteLogLine(CallEndLine(QStringLiteral("Connection ended"), ERROR_IDLE_DISCONNECTED,
                             ServiceErrorText(ERROR_IDLE_DISCONNECTED), detail));
    return true;
}

void TForm1::Timer3Timer() {
    TForm5* reconnect = program().Form5;
    if (!DetectConnection() && !HungUpBySelf && SessionActive && !reconnect->Visible() &&
        !EndedByItsOwnLimit()) {
        // Something else ended the connection: offer to dial again.
        StopDisconnectTimer();
        setWindowState(TWindowState::wsNormal);
        Show();
        BringToFront();
        reconnect->Show();
        Timer3.setEnabled(false);
        return;
    }
    if (!DetectConnection() && !Status2->text().isEmpty()) Status2->clear();
}

}  // namespace obu
