// The drop watch: notices that a connection the program looks after has gone.
#include "connection/ReconnectCountdown.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Platform.h"

namespace obu {

bool MainWindow::EndedByItsOwnLimit() {
    const HRASCONN own = dialer->ConnectionHandle();
    if (own == 0) return false;
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    if (platform().ras->RasGetConnectStatusA(own, &status) != 0 ||
        status.rasconnstate != RASCS_Disconnected || status.dwError != ERROR_IDLE_DISCONNECTED)
        return false;
    const QString detail = platform().ras->failureDetail(own);
    HungUpBySelf = true;
    SessionActive = false;
    dialer->HangUpSilently();
    StopDisconnectTimer();
    WriteLogLine(CallEndLine(QStringLiteral("Connection ended"), ERROR_IDLE_DISCONNECTED,
                             ServiceErrorText(ERROR_IDLE_DISCONNECTED), detail));
    return true;
}

void MainWindow::Timer3Timer() {
    ReconnectCountdown* reconnect = program().reconnectCountdown;
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
