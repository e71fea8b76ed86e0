#include "model/AlarmRule.h"

#include "platform/Formats.h"

namespace obu {

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

}  // namespace obu
