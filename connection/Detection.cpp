// Finding an established connection through the dial-up service.
#include "core/MainWindow.h"
#include "model/StateText.h"
#include "platform/Platform.h"

namespace obu {

bool MainWindow::DetectConnection() {
    RasApi& ras = *platform().ras;
    bool result = false;
    // On the drop watch's hot path: fixed buffers on the stack, nothing allocated but the texts.
    RASCONNA connections[100];
    connections[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof connections;
    DWORD count = 0;
    RASCONNSTATUSA status{};
    status.dwSize = sizeof(RASCONNSTATUSA);

    const DWORD listed = ras.RasEnumConnectionsA(connections, &bytes, &count);
    // More calls than the buffer holds still fill the first records: only
    // the first is needed, so a full listing is no failure (and no drop).
    if (listed != 0 && !(listed == ERROR_BUFFER_TOO_SMALL && count > 0)) {
        Status2->setText(QStringLiteral("Unable to retrieve established connections."));
    } else if (count > 0) {
        const RASCONNA& first = connections[0];
        DetectedConnection = first.hrasconn;
        ras.RasGetConnectStatusA(DetectedConnection, &status);
        const QString entry = QString::fromLatin1(
            first.szEntryName, qstrnlen(first.szEntryName, sizeof first.szEntryName));
        const QString device = QString::fromLatin1(
            first.szDeviceName, qstrnlen(first.szDeviceName, sizeof first.szDeviceName));
        Status2->setText(entry + QStringLiteral(" - ") +
                         StateText(ras, status.rasconnstate, status.dwError) +
                         QStringLiteral("   Device: ") + device);
        result = true;
        startDropWatch();
    }
    if (result && ReadyToConnect) {
        ReadyToConnect = false;
        DrawDisconnectFace();
    } else if (!result && !ReadyToConnect) {
        ReadyToConnect = true;
        Status2->setText(QStringLiteral("No connection was detected."));
        DrawConnectFace();
    }
    return result;
}

}  // namespace obu
