#pragma once
#include <QPoint>
#include <QString>

namespace obu {

struct Platform;
class AlarmClock;
class EventLog;
class Extras;
class LineKeeper;
class Settings;
class UserOptions;

// What the program does with its settings and its log at its start and at
// its end, with windows or without, in the order whose effects the files
// show: the log begun, the settings read (the options with them), the alarm
// armed and a connection already up looked for; at the end the settings saved
// (only when they were read) and the close logged. Each step runs through the
// dispatcher, so an error is reported and the next step still runs.
class StartAndExit {
public:
    struct Models {
        Settings& settings;
        EventLog& log;
        UserOptions& options;
        AlarmClock& alarm;
        Extras& extras;
        LineKeeper& keeper;
    };
    StartAndExit(Platform& platform, const Models& models);

    // "OBU Launched" in a new log. When it cannot be made the user is told
    // and the start goes on: the settings must still be read, or the save at
    // exit would overwrite them with defaults.
    void startLog();
    // Reads obu.ini into the models; a file that cannot be read is said in
    // the error box. No dispatcher of its own: the caller runs it together
    // with what it shows of the settings.
    void readSettings();
    // The stored alarm waited for, a connection already up taken over.
    void takeUpStoredState();
    // Connect on Start kept without an entry: the log says why nothing dials.
    void sayWhyNothingDials();

    // The whole start for a caller that shows nothing of it (the entries
    // listed as a window lists them, then the steps above).
    void startUp();

    // Where the main window stood, as read (5, 5 without a file).
    QPoint storedPosition() const { return m_storedPosition; }
    bool settingsRead() const { return m_settingsRead; }

    // Waits no more: the alarm disarmed, the line's watch stopped. The
    // disconnect timer is left alone: ending the program never hangs up.
    void stopWaiting();
    // Every setting in one replace of the file, the window at `position`.
    void saveSettings(const QPoint& position);
    // The end: stopped, saved when the settings were read (a failed save is
    // reported), and "OBU Closed" logged whatever the save did.
    void shutDown(const QPoint& position);

private:
    Platform& m_platform;
    Models m_models;
    QPoint m_storedPosition;
    bool m_settingsRead = false;
};

}  // namespace obu
