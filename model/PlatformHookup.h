#pragma once

namespace obu {

struct Platform;
class Settings;
class EventLog;
class AlarmClock;

// What both programs join from the platform to the model before anything is
// read: the alarm looks again after a sleep, the log is echoed where the
// platform wants it, and an installed copy's passwords live in the keyring,
// whose problems are said on standard error and in the log.
void hookUpToPlatform(Platform& platform, Settings& settings, EventLog& log,
                      AlarmClock& alarmClock);

}  // namespace obu
