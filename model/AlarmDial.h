#pragma once
#include <QObject>

#include "model/AlarmClock.h"

namespace obu {

class EventLog;
class LineKeeper;
class Sound;
class UserOptions;

// What happens when the alarm is due, with windows or without: the line is
// dialled if it may be, the alarm's sound is played, and the log says why
// not when it may not. Whoever shows the program comes forward on
// attentionWanted().
class AlarmDial : public QObject {
    Q_OBJECT
public:
    // sound may be null: nothing is played.
    AlarmDial(AlarmClock& alarm, LineKeeper& keeper, EventLog& log, const UserOptions& options,
              Sound* sound, QObject* parent = nullptr);

    void dial(AlarmClock::Rule rule);

signals:
    // The alarm wants the user's eyes: a window shows itself, restored.
    void attentionWanted();

private:
    void playAlarmSound();

    AlarmClock& m_alarm;
    LineKeeper& m_keeper;
    EventLog& m_log;
    const UserOptions& m_options;
    Sound* m_sound;
};

}  // namespace obu
