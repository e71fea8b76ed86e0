// Start-up and shutdown of the main window.
#include "gui/main/MainWindow.h"

#include "gui/program/ProgramModel.h"
#include "gui/shell/SplashScreen.h"
#include "model/LineKeeper.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"

namespace obu {

void MainWindow::startUp() {
    Platform& p = platform();
    // A new log for every run. When it cannot be made the user is told and
    // the start goes on: the settings must still be read, or the save at exit
    // would overwrite them with defaults.
    handle([this] { m_log.start(QStringLiteral("OBU Launched")); });

    handle([this, &p] {
        program().application().helpFile = p.programFolder + QStringLiteral("help.hlp");
        setPosition(15, 15);
        m_quotation->move(208, 24);
        setOuterSize(452, 243);
        m_settingsPanel->clearCredentials();
        m_settingsPanel->showEntryList(m_keeper.readEntryList());
        m_connectButton->drawFace(m_connectFaces, 0);
        m_alarmButton->drawFace(m_alarmFaces, 0);
        m_exitButton->drawFace(m_exitFaces, 0);
        m_connectionButton->drawFace(m_connectionFaces, 0);
        m_extrasButton->drawFace(m_extrasFaces, 0);
        // The window's constructor makes the panel; made here too, the
        // lights exist whichever runs first.
        m_middlePanel->buildExtrasPages();
        for (int n = 1; n <= Extras::kSlots; ++n) m_middlePanel->drawLight(n);
        m_alarmClock.clear();
        // A file that cannot be read would come back as defaults and be
        // overwritten by them at exit: say so now, and save nothing.
        const QString readProblem = m_settings.readProblem();
        if (!readProblem.isEmpty()) p.dialogs->errorBox(program().application().title, readProblem);
        const bool dailyAlarm = m_settings.flag(Setting::DailyAlarm);
        m_alarmClock.load(m_settings.text(Setting::AlarmTime).left(kMaxFieldText), dailyAlarm);
        m_options.load();
        // The credentials count only with an entry to dial.
        const QString entry = m_settings.text(Setting::EntryName);
        if (!entry.isEmpty()) {
            m_keeper.chooseEntry(entry, m_settings.text(Setting::UserName),
                                 m_settings.text(Setting::Password));
            m_middlePanel->showEntryName(entry);
        }
        setPosition(m_settings.number(Setting::WindowLeft), m_settings.number(Setting::WindowTop));
        // The extras and their lights.
        m_extras.load(m_settings);
        m_settingsRead = readProblem.isEmpty();
        m_alarmClock.armStored();
        m_keeper.adoptConnectionAtStart();
    });
    // Kept, not dialled and not dropped: the log says why nothing dials.
    if (m_options.connectOnStartHeld())
        handle([this] {
            m_log.writeLine(QStringLiteral(
                "Connect on Start is set but no connection is chosen; it dials once one is"));
        });
}

void MainWindow::shutDown() {
    // The disconnect timer is left alone: ending the program never hangs up.
    m_alarmClock.disarm();
    m_keeper.stopWatching();
    m_quotationSteps.setEnabled(false);
    m_dialUpWindowMinimizer.stop();
    // Only settings that were read are written back. A save that fails is
    // reported and the close is still logged.
    handle([this] {
        if (m_settingsRead) saveSettings();
    });
    handle([this] { m_log.writeLine(QStringLiteral("OBU Closed")); });
}

void MainWindow::saveSettings() {
    using Option = UserOptions::Option;
    // One replace of the file for all of them: a kill leaves the old settings or the new.
    Settings::Changes ini;
    ini.setFlag(Setting::Sound, m_options.isOn(Option::Sound));
    ini.setFlag(Setting::MinimizeOnConnect, m_options.isOn(Option::MinimizeOnConnect));
    ini.setFlag(Setting::MinimizeDialUpWindow, m_options.isOn(Option::MinimizeDialUpWindow));
    ini.setFlag(Setting::RedialIfBusy, m_options.isOn(Option::RedialIfBusy));
    ini.setFlag(Setting::DailyAlarm, m_alarmClock.isDaily());
    ini.setFlag(Setting::ConnectOnStart, m_options.connectOnStartStored());
    ini.setText(Setting::AlarmTime, m_alarmClock.time());
    ini.setText(Setting::EntryName, m_keeper.entryName());
    ini.setText(Setting::UserName, m_keeper.userName());
    ini.setText(Setting::Password, m_keeper.password());
    for (int n = 1; n <= Extras::kSlots; ++n)
        ini.setFlag({Setting::ExtraLight, n}, m_extras.isOn(n));
    ini.setNumber(Setting::WindowLeft, x());
    ini.setNumber(Setting::WindowTop, y());
    m_settings.write(ini);
}

void MainWindow::onClosed() {
    emit exitWanted();
}

}  // namespace obu
