#pragma once
#include <QString>
#include <memory>

#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/Settings.h"
#include "model/UserOptions.h"
#include "platform/WindowTimer.h"

namespace obu {

struct Platform;
class AlarmDial;
class LineKeeper;
class StartAndExit;

// The keeper without windows: the model the windowed program shows (the
// settings, the log, the options, the alarm, the extras and the line keeper),
// wired as that program wires it, and nothing of Qt Gui or Widgets. Made, it
// has started (the log begun, the settings read, a line already up taken
// over); Connect on Start dials five seconds later, when the windowed
// program's splash would give way. Destroyed, it saves the settings and logs
// the close.
class HeadlessKeeper {
public:
    explicit HeadlessKeeper(Platform& platform);
    ~HeadlessKeeper();
    HeadlessKeeper(const HeadlessKeeper&) = delete;
    HeadlessKeeper& operator=(const HeadlessKeeper&) = delete;

    LineKeeper& lineKeeper() { return *m_lineKeeper; }
    AlarmClock& alarmClock() { return m_alarmClock; }
    EventLog& eventLog() { return m_eventLog; }

    // The settings saved and the close logged, once; the destructor does it
    // when nobody did before.
    void shutDown();

private:
    Platform& m_platform;
    Settings m_settings;
    EventLog m_eventLog;
    UserOptions m_options;
    AlarmClock m_alarmClock;
    Extras m_extras;
    std::unique_ptr<LineKeeper> m_lineKeeper;
    std::unique_ptr<StartAndExit> m_startAndExit;
    std::unique_ptr<AlarmDial> m_alarmDial;
    WindowTimer m_connectOnStart;
    bool m_shutDown = false;
};

}  // namespace obu
