// The disconnect timer: a warning thirty seconds before the chosen minute, then the hang-up.
#include <algorithm>

#include "gui/connection/DisconnectCountdown.h"
#include "gui/connection/DisconnectTimerDialog.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Platform.h"

namespace obu {

int DisconnectTimerMinutes(int stored) {
    // The dialog offers 0 to 1000 minutes. A larger value written by hand is
    // taken as the largest the dialog offers, so the warning moment always
    // fits the timer (it would overflow 32 bits of milliseconds past 35791).
    return std::min(stored, kMaxDisconnectMinutes);
}

void MainWindow::StartDisconnectTimer() {
    const int minutes = DisconnectTimerMinutes(settings->number(Setting::DisconnectMinutes));
    if (minutes <= 0) return;
    // Re-arming replaces the interval and restarts the count.
    m_disconnectTimer.setEnabled(false);
    m_disconnectTimer.setInterval((minutes * 60 - 30) * 1000);
    m_disconnectTimer.setEnabled(true);
}

void MainWindow::StopDisconnectTimer() {
    m_disconnectTimer.setEnabled(false);
    program().disconnectCountdown->stop();
}

// Thirty seconds before the chosen minute: the warning takes over the count.
void MainWindow::warnOfDisconnect() {
    m_disconnectTimer.setEnabled(false);
    setWindowState(TWindowState::wsNormal);
    Show();
    BringToFront();
    program().disconnectCountdown->start();
}

void MainWindow::hangUpByDisconnectTimer() {
    resetConnectButton();
    program().trayMenu->connectItem->setText(QStringLiteral("Connect"));
    HungUpBySelf = true;
    // The program ended its own call: later alarms and clicks dial afresh.
    SessionActive = false;
    platform().dialUp->hangUp(DetectedConnection);
    WriteLogLine(QStringLiteral("Disconnection made by disconnect timer"));
}

}  // namespace obu
