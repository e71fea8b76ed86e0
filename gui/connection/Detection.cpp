// Finding an established connection through the dial-up service.
#include "gui/main/MainWindow.h"
#include "model/StateText.h"
#include "platform/Platform.h"

namespace obu {

bool MainWindow::DetectConnection() {
    DialUpService& service = *platform().dialUp;
    bool result = false;
    QList<CallInfo> calls;
    if (service.calls(&calls) != dialup_error::None) {
        m_statusLine->setText(QStringLiteral("Unable to retrieve established connections."));
    } else if (!calls.isEmpty()) {
        const CallInfo& first = calls.first();
        DetectedConnection = first.id;
        // The status of the moment, which may have moved on since the list.
        CallInfo status;
        if (service.callStatus(DetectedConnection, &status) != dialup_error::None)
            status = CallInfo{};
        m_statusLine->setText(first.entry + QStringLiteral(" - ") +
                              StateText(service, status.state, status.error) +
                              QStringLiteral("   Device: ") + first.deviceName);
        result = true;
        startDropWatch();
    }
    if (result && ReadyToConnect) {
        ReadyToConnect = false;
        DrawDisconnectFace();
    } else if (!result && !ReadyToConnect) {
        ReadyToConnect = true;
        m_statusLine->setText(QStringLiteral("No connection was detected."));
        DrawConnectFace();
    }
    return result;
}

}  // namespace obu
