#pragma once
#include <memory>

#include "gui/program/Application.h"
#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/Settings.h"
#include "model/UserOptions.h"

namespace obu {

struct Platform;
class LineKeeper;
class StartAndExit;
class AlarmDial;

// What every window shows and commands: the application object, the
// settings, the log, the options, the alarm clock, the extras and the line
// keeper. The windows get this, not the program that makes them, so no
// window depends on the others.
class ProgramModel {
public:
    explicit ProgramModel(Platform& platform);
    virtual ~ProgramModel();
    ProgramModel(const ProgramModel&) = delete;
    ProgramModel& operator=(const ProgramModel&) = delete;

    Platform& platform() const { return m_platform; }
    obu::Application& application() { return m_application; }
    // Made before any window; the file is read and the log started by the
    // main window's start-up.
    Settings& settings() { return m_settings; }
    EventLog& eventLog() { return m_eventLog; }
    UserOptions& options() { return m_options; }
    AlarmClock& alarmClock() { return m_alarmClock; }
    Extras& extras() { return m_extras; }
    // Made once the splash window is up, before the main window.
    LineKeeper& lineKeeper() { return *m_lineKeeper; }
    // Made with the keeper: the settings read at start and saved at exit,
    // and the alarm's dial (model/StartAndExit, model/AlarmDial).
    StartAndExit& startAndExit() { return *m_startAndExit; }
    AlarmDial& alarmDial() { return *m_alarmDial; }

protected:
    void makeLineKeeper();

private:
    Platform& m_platform;
    obu::Application m_application;
    Settings m_settings;
    EventLog m_eventLog;
    UserOptions m_options;
    AlarmClock m_alarmClock;
    Extras m_extras;
    std::unique_ptr<LineKeeper> m_lineKeeper;
    std::unique_ptr<StartAndExit> m_startAndExit;
    std::unique_ptr<AlarmDial> m_alarmDial;
};

}  // namespace obu
