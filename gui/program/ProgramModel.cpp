#include "gui/program/ProgramModel.h"

#include "model/AlarmDial.h"
#include "model/ExtrasOnConnect.h"
#include "model/LineKeeper.h"
#include "model/PlatformHookup.h"
#include "model/StartAndExit.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"

namespace obu {

ProgramModel::ProgramModel(Platform& platform)
    : m_platform(platform),
      m_settings(*platform.profile, platform.settingsPath(QStringLiteral("obu.ini"))),
      m_eventLog(*platform.clock, *platform.formats, platform.logPath(QStringLiteral("log.txt"))),
      m_options(m_settings),
      m_alarmClock(*platform.clock, *platform.wallClock, *platform.formats),
      m_extras(platform) {
    m_platform.dispatcher->setApplicationTitle(m_application.title);
    hookUpToPlatform(m_platform, m_settings, m_eventLog, m_alarmClock);
}

ProgramModel::~ProgramModel() = default;

void ProgramModel::makeLineKeeper() {
    m_lineKeeper = std::make_unique<LineKeeper>(m_platform, m_settings, m_eventLog, m_options);
    m_startAndExit = std::make_unique<StartAndExit>(
        m_platform, StartAndExit::Models{m_settings, m_eventLog, m_options, m_alarmClock, m_extras,
                                         *m_lineKeeper});
    m_alarmDial = std::make_unique<AlarmDial>(m_alarmClock, *m_lineKeeper, m_eventLog, m_options,
                                              m_platform.sound);
    launchExtrasOnConnect(*m_lineKeeper, m_extras, m_eventLog);
}

}  // namespace obu
