// The line monitor: a busy line is redialled or reported, a missing dial tone reported.
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

namespace obu {
namespace {
// A hang-up without a call yields 0, so two rounds always end it; the bound
// only guards against a service that keeps failing.
constexpr int kMaxHangUps = 4;
}  // namespace

void MainWindow::checkForBusyLine() {
    const DialUpError result = m_call->lastError();
    TrayMenu* tray = program().trayMenu;
    if (result == dialup_error::LineBusy && tray->redialIfBusyOption->isChecked()) {
        m_connectButton->setEnabled(false);
        tray->connectItem->setEnabled(false);
        HungUpBySelf = true;
        SessionActive = false;
        m_call->hangUp();
        m_call->dial();
        for (int i = 0; m_call->lastError() != 0 && i < kMaxHangUps; ++i) m_call->hangUp();
        platform().clock->sleep(500);
        m_call->dial();
        SessionActive = true;
        HungUpBySelf = false;
        m_connectButton->setEnabled(true);
        tray->connectItem->setEnabled(true);
        WriteLogLine(QStringLiteral("Line was busy - attempting to reconnect"));
        return;
    }
    if (result == dialup_error::LineBusy) {
        HungUpBySelf = true;
        SessionActive = false;
        platform().dialUp->hangUp(DetectedConnection);
        for (int i = 0; m_call->lastError() != 0 && i < kMaxHangUps; ++i) m_call->hangUp();
        platform().dialogs->messageBox(
            QStringLiteral(
                "The line that OBU was attempting to dial was busy. If you would like OBU to "
                "automatically redial the line until it creates a connection, choose \"Redial if "
                "Line is Busy\" in the Options menu."),
            QStringLiteral("Line Busy"), MsgIcon::None, MsgButtons::Ok);
        DrawConnectFace();
        tray->connectItem->setText(QStringLiteral("Connect"));
        WriteLogLines(
            {QStringLiteral("Line was busy"), QStringLiteral("Connection Terminated by OBU")});
        return;
    }
    if (result == dialup_error::NoDialTone) {
        HungUpBySelf = true;
        m_dropWatch.setEnabled(false);
        for (int i = 0; m_call->lastError() != 0 && i < kMaxHangUps; ++i) m_call->hangUp();
        platform().dialogs->messageBox(
            QStringLiteral("OBU could not detect a dail tone while attempting to dial."),
            QStringLiteral("No Dial Tone"), MsgIcon::None, MsgButtons::Ok);
        DrawConnectFace();
        tray->connectItem->setText(QStringLiteral("Connect"));
        WriteLogLines(
            {QStringLiteral("No dial tone found"), QStringLiteral("Connection Terminated by OBU")});
        startDropWatch();
    }
}

}  // namespace obu
