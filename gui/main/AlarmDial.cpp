// What the main window does when the alarm is due.
#include "gui/main/MainWindow.h"
#include "gui/program/ProgramModel.h"
#include "model/LineKeeper.h"

namespace obu {

void MainWindow::dialAtAlarm(AlarmClock::Rule rule) {
    LineKeeper& keeper = program().lineKeeper();
    const QString cannotDial = keeper.whyAlarmCannotDial();
    if (rule == AlarmClock::Rule::Once) {
        // The one-time alarm comes forward even when it cannot dial; it clears itself.
        showWindow();
        setShowState(ShowState::Normal);
        if (!cannotDial.isEmpty()) {
            writeLogLine(QStringLiteral("Alarm did not dial: ") + cannotDial);
            return;
        }
        playUiSound(QStringLiteral("obualarm.okx"));
        keeper.toggleConnection();
        return;
    }
    // The daily alarm does nothing else while it cannot dial; it stays set
    // and comes again within its minute, in case the line is freed. Once it
    // has dialled, that minute is done, whatever becomes of the call.
    if (!cannotDial.isEmpty()) {
        if (!m_alarmClock.offeredAgain())
            writeLogLine(QStringLiteral("Alarm did not dial: ") + cannotDial);
        m_alarmClock.offerAgainSoon();
        return;
    }
    playUiSound(QStringLiteral("obualarm.okx"));
    showWindow();
    setShowState(ShowState::Normal);
    keeper.toggleConnection();
}

}  // namespace obu
