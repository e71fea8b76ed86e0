#include "app/HeadlessKeeper.h"

#include "model/AlarmDial.h"
#include "model/ExtrasOnConnect.h"
#include "model/LineKeeper.h"
#include "model/PlatformHookup.h"
#include "model/StartAndExit.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"

namespace obu {

namespace {

// As long as the windowed program's splash shows: Connect on Start dials as
// late in either.
constexpr int kConnectOnStartDelayMs = 5000;

}  // namespace

HeadlessKeeper::HeadlessKeeper(Platform& platform)
    : m_platform(platform),
      m_settings(*platform.profile, platform.settingsPath(QStringLiteral("obu.ini"))),
      m_eventLog(*platform.clock, *platform.formats, platform.logPath(QStringLiteral("log.txt"))),
      m_options(m_settings),
      m_alarmClock(*platform.clock, *platform.wallClock, *platform.formats),
      m_extras(platform),
      m_connectOnStart(*platform.loop, kConnectOnStartDelayMs) {
    m_platform.dispatcher->setApplicationTitle(QStringLiteral("OBU v1.3"));
    hookUpToPlatform(m_platform, m_settings, m_eventLog, m_alarmClock);
    m_lineKeeper = std::make_unique<LineKeeper>(m_platform, m_settings, m_eventLog, m_options);
    m_startAndExit = std::make_unique<StartAndExit>(
        m_platform, StartAndExit::Models{m_settings, m_eventLog, m_options, m_alarmClock, m_extras,
                                         *m_lineKeeper});
    m_alarmDial = std::make_unique<AlarmDial>(m_alarmClock, *m_lineKeeper, m_eventLog, m_options,
                                              m_platform.sound);
    launchExtrasOnConnect(*m_lineKeeper, m_extras, m_eventLog);
    m_startAndExit->startUp();
    m_connectOnStart.setOnTimer([this] {
        m_connectOnStart.setEnabled(false);
        m_lineKeeper->connectOnStart();
    });
    m_connectOnStart.setEnabled(true);
}

HeadlessKeeper::~HeadlessKeeper() {
    shutDown();
}

void HeadlessKeeper::shutDown() {
    if (m_shutDown) return;
    m_shutDown = true;
    m_connectOnStart.setEnabled(false);
    // Nobody moved the window that is not there: it stays where it was stored.
    m_startAndExit->shutDown(m_startAndExit->storedPosition());
}

}  // namespace obu
