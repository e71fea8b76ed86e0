// Start-up and shutdown of the main window.
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/SplashScreen.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"
#include "platform/Windows.h"

namespace obu {

void MainWindow::FormCreate() {
    Platform& p = platform();
    eventLog =
        std::make_unique<EventLog>(*p.clock, *p.formats, p.logPath(QStringLiteral("log.txt")));
    eventLog->setEcho(p.logEcho);

    // 1. A new log for every run. When it cannot be made the user is told and
    // the start goes on: the settings must still be read, or the save at exit
    // would overwrite them with defaults.
    handle([this] { eventLog->start(QStringLiteral("OBU Launched")); });

    handle([this, &p] {
        // 2.
        program().application().HelpFile = p.programFolder + QStringLiteral("help.hlp");
        // 3.
        setPosition(15, 15);
        SessionActive = false;
        HungUpBySelf = false;
        m_quotation->move(208, 24);
        setOuterSize(452, 243);
        // 4.
        ReadyToConnect = true;
        m_userNameEdit->clear();
        m_passwordEdit->clear();
        // 5.
        m_call->refreshEntryList();
        m_entryList->clear();
        m_entryList->addItems(m_call->entryList());
        // 6.
        m_connectButton->DrawFace(m_connectFaces, 0);
        m_alarmButton->DrawFace(m_alarmFaces, 0);
        m_exitButton->DrawFace(m_exitFaces, 0);
        m_connectionButton->DrawFace(m_connectionFaces, 0);
        m_extrasButton->DrawFace(m_extrasFaces, 0);
        // 7. The window's constructor makes the panel; made here too, the
        // lights exist whichever runs first.
        buildMiddlePanel();
        for (int n = 1; n <= Extras::kSlots; ++n) DrawLight(n);
        // 8.
        m_alarmClock.clear();
        // 9.
        settings =
            std::make_unique<Settings>(*p.profile, p.settingsPath(QStringLiteral("obu.ini")));
        // A file that cannot be read would come back as defaults and be
        // overwritten by them at exit: say so now, and save nothing.
        const QString readProblem = settings->readProblem();
        if (!readProblem.isEmpty()) p.dialogs->errorBox(program().application().Title, readProblem);
        // 10.
        TrayMenu* tray = program().trayMenu;
        const bool dailyAlarm = settings->flag(Setting::DailyAlarm);
        m_alarmClock.load(settings->text(Setting::AlarmTime).left(kMaxFieldText), dailyAlarm);
        tray->soundOption->setChecked(settings->flag(Setting::Sound));
        tray->minimizeOnConnectOption->setChecked(settings->flag(Setting::MinimizeOnConnect));
        tray->minimizeDialUpOption->setChecked(settings->flag(Setting::MinimizeDialUpWindow));
        tray->redialIfBusyOption->setChecked(settings->flag(Setting::RedialIfBusy));
        // 11. The credentials count only with an entry to dial.
        if (!settings->text(Setting::EntryName).isEmpty()) {
            tray->connectOnStartOption->setChecked(settings->flag(Setting::ConnectOnStart));
            m_call->setEntryName(settings->text(Setting::EntryName));
            m_connectionName->setText(m_call->entryName());
            m_call->setUserName(settings->text(Setting::UserName));
            m_call->setPassword(settings->text(Setting::Password));
        }
        // 12.
        setPosition(settings->number(Setting::WindowLeft), settings->number(Setting::WindowTop));
        // 13. The extras and their lights.
        m_extras.load(*settings);
        settingsRead_ = readProblem.isEmpty();
        // 14.
        m_alarmClock.armStored();
        // 16.
        if (DetectConnection()) {
            SessionActive = true;
            HungUpBySelf = false;
        }
    });
}

void MainWindow::FormDestroy() {
    // 1. The disconnect timer is left alone: ending the program never hangs up.
    m_alarmClock.disarm();
    m_dropWatch.setEnabled(false);
    m_quotationSteps.setEnabled(false);
    m_dialUpWindowSearch.setEnabled(false);
    m_lineMonitor.setEnabled(false);
    if (platform().windows) platform().windows->unwatch();
    // 2. Only settings that were read are written back. A save that fails is
    // reported and the close is still logged.
    handle([this] {
        if (settingsRead_ && settings) SaveSettings();
    });
    // 3.
    settings.reset();
    // 4.
    handle([this] { eventLog->writeLine(QStringLiteral("OBU Closed")); });
}

void MainWindow::SaveSettings() {
    TrayMenu* tray = program().trayMenu;
    // One replace of the file for all of them: a kill leaves the old settings or the new.
    Settings::Changes ini;
    ini.setFlag(Setting::Sound, tray->soundOption->isChecked());
    ini.setFlag(Setting::MinimizeOnConnect, tray->minimizeOnConnectOption->isChecked());
    ini.setFlag(Setting::MinimizeDialUpWindow, tray->minimizeDialUpOption->isChecked());
    ini.setFlag(Setting::RedialIfBusy, tray->redialIfBusyOption->isChecked());
    ini.setFlag(Setting::DailyAlarm, m_alarmClock.isDaily());
    ini.setFlag(Setting::ConnectOnStart, tray->connectOnStartOption->isChecked());
    ini.setText(Setting::AlarmTime, m_alarmClock.time());
    ini.setText(Setting::EntryName, m_call->entryName());
    ini.setText(Setting::UserName, m_call->userName());
    ini.setText(Setting::Password, m_call->password());
    for (int n = 1; n <= Extras::kSlots; ++n)
        ini.setFlag({Setting::ExtraLight, n}, m_extras.isOn(n));
    ini.setNumber(Setting::WindowLeft, Left());
    ini.setNumber(Setting::WindowTop, Top());
    settings->write(ini);
}

void MainWindow::FormClose() {
    program().splashScreen->Close();
}

}  // namespace obu
