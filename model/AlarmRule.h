#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace obu {

class Formats;

// The alarm form of a time text T of length L: its first L − 5 characters,
// then "00 ", then its last 3 characters. With a long time format of the
// shape "h:mm:ss tt" this puts 00 in place of the seconds and keeps the
// designator: 9:05:07 PM becomes "9:05:00  PM" (two blanks).
QString alarmClockText(const QString& timeText);

// Alarm texts are compared as text, once a second, so both sides must be made
// by the same rule. The rule above cuts the right characters only when the
// long time format ends in seconds, a blank and the AM/PM designator; under
// any other format (a 24-hour one, say) the seconds are set to 0 and the time
// is formatted as it is, so that alarms are still stored, shown and matched
// correctly.
bool alarmRuleFits(const Formats& formats);
// The daily alarm text, and the current time of day for the daily check.
QString alarmTimeOfDay(const Formats& formats, const QTime& time);
// The one-time alarm text (short date, a blank, the time), and the current
// moment for the one-time check.
QString alarmMoment(const Formats& formats, const QDate& date, const QTime& time);

// The minute a moment lies in, counted from the epoch. Local minutes begin
// where the epoch's do: zones are offset by whole minutes.
qint64 alarmMinute(const QDateTime& at);
// Whether the alarm text `text` matches the moment `at` by the daily rule or
// the one-time rule: the comparison the alarm makes when it wakes.
bool alarmMatches(const Formats& formats, const QString& text, bool daily, const QDateTime& at);
// The first moment at or after `from` whose minute matches the alarm text:
// `from` itself when its own minute matches, else the start of the next minute
// that does. A daily text is looked for over the next day and a bit; a
// one-time text on the date it names (and, for a two-digit year, the same date
// a century on). None when no minute matches: a moment already past, a text
// the formats cannot make.
std::optional<QDateTime> nextAlarmMoment(const Formats& formats, const QString& text, bool daily,
                                         const QDateTime& from);

}  // namespace obu
