#include "model/AlarmRule.h"

#include "platform/Formats.h"

namespace obu {
namespace {

QDateTime startOfMinute(qint64 minute) {
    return QDateTime::fromMSecsSinceEpoch(minute * 60000);
}

// The times of day, to the minute, whose text on `date` is the alarm's. Under
// a 12-hour format without a designator a text has two.
QList<QTime> matchingTimes(const Formats& formats, const QString& text, bool daily,
                           const QDate& date) {
    QList<QTime> times;
    if (!daily && !text.startsWith(formats.dateText(date))) return times;
    for (int minute = 0; minute < 24 * 60; ++minute) {
        const QTime time(minute / 60, minute % 60);
        const QString made =
            daily ? alarmTimeOfDay(formats, time) : alarmMoment(formats, date, time);
        if (made == text) times << time;
    }
    return times;
}

// The dates a one-time text can fall on: the date it names and, since a year
// written with two digits names every century's, that date in the first
// century not yet past (the texts decide whether it really matches).
QList<QDate> namedDates(const Formats& formats, const QString& text, const QDate& today) {
    const auto named = formats.parseDateTime(text);
    if (!named) return {};
    const QDate date = named->date();
    if (date >= today) return {date};
    const int centuries = (today.year() - date.year() + 99) / 100;
    return {date, date.addYears(100 * centuries)};
}

}  // namespace

QString alarmClockText(const QString& timeText) {
    const int length = static_cast<int>(timeText.size());
    const QString last = timeText.right(3);
    const QString first = timeText.left(std::max(length - 5, 0));
    return first + QStringLiteral("00 ") + last;
}

bool alarmRuleFits(const Formats& formats) {
    return formats.timePicture().endsWith(QLatin1String("ss tt"));
}

QString alarmTimeOfDay(const Formats& formats, const QTime& time) {
    if (alarmRuleFits(formats)) return alarmClockText(formats.timeText(time));
    return formats.timeText(QTime(time.hour(), time.minute(), 0));
}

QString alarmMoment(const Formats& formats, const QDate& date, const QTime& time) {
    // The rule touches only the end of the text, so applying it to the whole
    // date-and-time text gives the same as applying it to the time alone.
    if (alarmRuleFits(formats))
        return alarmClockText(formats.dateAndTimeText(QDateTime(date, time)));
    return formats.dateText(date) + QLatin1Char(' ') +
           formats.timeText(QTime(time.hour(), time.minute(), 0));
}

qint64 alarmMinute(const QDateTime& at) {
    // Rounded down before 1970 too.
    const qint64 ms = at.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 60000 : -((-ms + 59999) / 60000);
}

bool alarmMatches(const Formats& formats, const QString& text, bool daily, const QDateTime& at) {
    const QString now =
        daily ? alarmTimeOfDay(formats, at.time()) : alarmMoment(formats, at.date(), at.time());
    return now == text;
}

std::optional<QDateTime> nextAlarmMoment(const Formats& formats, const QString& text, bool daily,
                                         const QDateTime& from) {
    if (text.isEmpty()) return std::nullopt;
    if (alarmMatches(formats, text, daily, from)) return from;
    QList<QDate> dates;
    QList<QTime> times;
    if (daily) {
        // The next match is at most a day away, or a day and an hour where
        // the clocks go back.
        for (int day = -1; day <= 2; ++day) dates << from.date().addDays(day);
        times = matchingTimes(formats, text, true, QDate());
    } else {
        dates = namedDates(formats, text, from.date());
    }
    const qint64 current = alarmMinute(from);
    std::optional<qint64> best;
    for (const QDate& date : dates) {
        if (!daily) times = matchingTimes(formats, text, false, date);
        for (const QTime& time : times) {
            const QDateTime at(date, time);
            if (!at.isValid()) continue;
            const qint64 minute = alarmMinute(at);
            if (minute <= current || (best && minute >= *best)) continue;
            // A time that the zone skips on that day lands on another text.
            if (alarmMatches(formats, text, daily, startOfMinute(minute))) best = minute;
        }
    }
    if (!best) return std::nullopt;
    return startOfMinute(*best);
}

}  // namespace obu
