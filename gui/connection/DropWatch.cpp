// The drop watch: notices that a connection the program looks after has gone.
#include "gui/connection/ReconnectCountdown.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "platform/Platform.h"

namespace obu {

bool MainWindow::EndedByItsOwnLimit() {
    const CallId own = m_call->callId();
    if (own == 0) return false;
    CallInfo status;
    if (platform().dialUp->callStatus(own, &status) != dialup_error::None ||
        status.state != CallState::Disconnected || status.error != dialup_error::LimitReached)
        return false;
    const QString detail = platform().dialUp->failureDetail(own);
    HungUpBySelf = true;
    SessionActive = false;
    m_call->hangUpSilently();
    StopDisconnectTimer();
    WriteLogLine(CallEndLine(QStringLiteral("Connection ended"), dialup_error::LimitReached,
                             ServiceErrorText(dialup_error::LimitReached), detail));
    return true;
}

namespace {
// The safety look of the drop watch: changes are announced by the service,
// this only bounds how long one that was somehow missed goes unnoticed.
constexpr int kSafetyLookMs = 1000;
}  // namespace

void MainWindow::startDropWatch() {
    if (m_dropWatch.enabled()) return;
    m_dropWatch.setInterval(EventLoop::kMinimumTimerMs);
    m_dropWatch.setEnabled(true);
}

void MainWindow::onDropWatchTick() {
    m_dropWatch.setInterval(kSafetyLookMs);
    checkForDrop();
}

void MainWindow::checkForDrop() {
    ReconnectCountdown* reconnect = program().reconnectCountdown;
    if (!DetectConnection() && !HungUpBySelf && SessionActive && !reconnect->Visible() &&
        !EndedByItsOwnLimit()) {
        // Something else ended the connection: offer to dial again.
        StopDisconnectTimer();
        setWindowState(TWindowState::wsNormal);
        Show();
        BringToFront();
        reconnect->Show();
        m_dropWatch.setEnabled(false);
        return;
    }
    if (!DetectConnection() && !m_statusLine->text().isEmpty()) m_statusLine->clear();
}

}  // namespace obu
