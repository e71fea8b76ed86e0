// What the main window does when the alarm is due.
#include "gui/main/MainWindow.h"

namespace obu {

void MainWindow::dialAtAlarm(AlarmClock::Rule rule) {
    if (rule == AlarmClock::Rule::Once) {
        // The one-time alarm comes forward even when it cannot dial; it clears itself.
        Show();
        setWindowState(TWindowState::wsNormal);
        if (!ModemInUse() && !SessionActive) {
            PlayUiSound(QStringLiteral("obualarm.okx"));
            toggleConnection();
        }
        return;
    }
    // The daily alarm does nothing at all while it cannot dial; it stays set.
    if (ModemInUse() || SessionActive) return;
    PlayUiSound(QStringLiteral("obualarm.okx"));
    Show();
    setWindowState(TWindowState::wsNormal);
    toggleConnection();
}

}  // namespace obu
