#include "model/StartAndExit.h"

#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/LineKeeper.h"
#include "model/Settings.h"
#include "model/UserOptions.h"
#include "platform/Dialogs.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"

namespace obu {

StartAndExit::StartAndExit(Platform& platform, const Models& models)
    : m_platform(platform), m_models(models) {}

void StartAndExit::startLog() {
    m_platform.dispatcher->run([this] { m_models.log.start(QStringLiteral("OBU Launched")); });
}

void StartAndExit::readSettings() {
    Settings& settings = m_models.settings;
    m_models.alarm.clear();
    // A file that cannot be read would come back as defaults and be
    // overwritten by them at exit: say so now, and save nothing.
    const QString readProblem = settings.readProblem();
    if (!readProblem.isEmpty())
        m_platform.dialogs->errorBox(m_platform.dispatcher->applicationTitle(), readProblem);
    const bool dailyAlarm = settings.flag(Setting::DailyAlarm);
    m_models.alarm.load(settings.text(Setting::AlarmTime).left(kMaxFieldText), dailyAlarm);
    m_models.options.load();
    // The credentials count only with an entry to dial.
    const QString entry = settings.text(Setting::EntryName);
    if (!entry.isEmpty())
        m_models.keeper.chooseEntry(entry, settings.text(Setting::UserName),
                                    settings.text(Setting::Password));
    m_storedPosition = {settings.number(Setting::WindowLeft), settings.number(Setting::WindowTop)};
    m_models.extras.load(settings);
    m_settingsRead = readProblem.isEmpty();
}

void StartAndExit::takeUpStoredState() {
    m_models.alarm.armStored();
    m_models.keeper.adoptConnectionAtStart();
}

void StartAndExit::sayWhyNothingDials() {
    // Kept, not dialled and not dropped.
    if (!m_models.options.connectOnStartHeld()) return;
    m_platform.dispatcher->run([this] {
        m_models.log.writeLine(QStringLiteral(
            "Connect on Start is set but no connection is chosen; it dials once one is"));
    });
}

void StartAndExit::startUp() {
    startLog();
    m_platform.dispatcher->run([this] {
        // The entries are listed as the connection page lists them, so a
        // NetworkManager profile hidden by a phone-book entry of the same
        // name is said at start with windows or without.
        m_models.keeper.readEntryList();
        readSettings();
        takeUpStoredState();
    });
    sayWhyNothingDials();
}

void StartAndExit::stopWaiting() {
    m_models.alarm.disarm();
    m_models.keeper.stopWatching();
}

void StartAndExit::saveSettings(const QPoint& position) {
    using Option = UserOptions::Option;
    const UserOptions& options = m_models.options;
    const AlarmClock& alarm = m_models.alarm;
    const LineKeeper& keeper = m_models.keeper;
    // One replace of the file for all of them: a kill leaves the old settings or the new.
    Settings::Changes ini;
    ini.setFlag(Setting::Sound, options.isOn(Option::Sound));
    ini.setFlag(Setting::MinimizeOnConnect, options.isOn(Option::MinimizeOnConnect));
    ini.setFlag(Setting::MinimizeDialUpWindow, options.isOn(Option::MinimizeDialUpWindow));
    ini.setFlag(Setting::RedialIfBusy, options.isOn(Option::RedialIfBusy));
    ini.setFlag(Setting::DailyAlarm, alarm.isDaily());
    ini.setFlag(Setting::ConnectOnStart, options.connectOnStartStored());
    ini.setText(Setting::AlarmTime, alarm.time());
    ini.setText(Setting::EntryName, keeper.entryName());
    ini.setText(Setting::UserName, keeper.userName());
    ini.setText(Setting::Password, keeper.password());
    for (int n = 1; n <= Extras::kSlots; ++n)
        ini.setFlag({Setting::ExtraLight, n}, m_models.extras.isOn(n));
    ini.setNumber(Setting::WindowLeft, position.x());
    ini.setNumber(Setting::WindowTop, position.y());
    m_models.settings.write(ini);
}

void StartAndExit::shutDown(const QPoint& position) {
    stopWaiting();
    m_platform.dispatcher->run([this, position] {
        if (m_settingsRead) saveSettings(position);
    });
    m_platform.dispatcher->run([this] { m_models.log.writeLine(QStringLiteral("OBU Closed")); });
}

}  // namespace obu
