// What the end of the reconnect countdown means: the line dialled again, or
// the session ended by the user.
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"

namespace obu {

void MainWindow::reconnectNow() {
    const std::int32_t refused = DialOwnCall();
    WriteLogLines({QStringLiteral("Connection Terminated by unknown source"),
                   QStringLiteral("Attempting to Reconnect.")});
    if (refused != 0) ReportDialFailure(refused, ServiceErrorText(refused));
}

void MainWindow::cancelReconnect() {
    SessionActive = false;
    DrawConnectFace();
    program().trayMenu->connectItem->setText(QStringLiteral("Connect"));
    ReadyToConnect = true;
    WriteLogLines({QStringLiteral("Connection Terminated by unknown source"),
                   QStringLiteral("Reconnect canceled by user")});
}

}  // namespace obu
