// The alarm: dials once at a date and time, or every day at a time.
#include "alarm/AlarmClockText.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "shell/TrayMenu.h"

namespace obu {

void MainWindow::ArmAlarmAtStart() {
    if (DailyAlarm && !AlarmTime.isEmpty()) {
        Timer2.setEnabled(true);
        Label12->setText(QStringLiteral("Daily at ") + AlarmTime);
    } else if (!AlarmTime.isEmpty()) {
        Label12->setText(AlarmTime);
        Timer1.setEnabled(true);
    }
}

void MainWindow::Timer1Timer() {
    const QDateTime now = platform().clock->now();
    if (AlarmMoment(*platform().formats, now.date(), now.time()) != AlarmTime) return;
    // The one-time alarm comes forward even when it cannot dial, and always clears itself.
    Show();
    setWindowState(TWindowState::wsNormal);
    if (!ModemInUse() && !SessionActive) {
        PlayUiSound(QStringLiteral("obualarm.okx"));
        Image10Click(this);
    }
    Timer1.setEnabled(false);
    AlarmTime.clear();
    Label12->setText(QStringLiteral("(not set)"));
}

void MainWindow::Timer2Timer() {
    const QDateTime now = platform().clock->now();
    if (AlarmTimeOfDay(*platform().formats, now.time()) != AlarmTime) return;
    // The daily alarm does nothing at all while it cannot dial; it stays set.
    if (ModemInUse() || SessionActive) return;
    PlayUiSound(QStringLiteral("obualarm.okx"));
    Show();
    setWindowState(TWindowState::wsNormal);
    Image10Click(this);
}

void MainWindow::ClearAlarm() {
    AlarmTime.clear();
    Label12->setText(QStringLiteral("(not set)"));
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    DailyAlarm = false;
}

}  // namespace obu
