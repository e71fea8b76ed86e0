#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace obu {

// How the program writes dates and times of day (the alarm's, the log's), as
// pictures of field letters ("M/d/yyyy" for a date, "h:mm:ss tt" for a time
// with seconds), and the conversions the program makes with them.
class Formats {
public:
    Formats() = default;
    Formats(QString datePicture, QString timePicture)
        : m_date(std::move(datePicture)), m_time(std::move(timePicture)) {}

    // The picture of a date, and of a time of day with its seconds.
    const QString& datePicture() const { return m_date; }
    const QString& timePicture() const { return m_time; }

    QString dateText(const QDate& d) const;
    QString timeText(const QTime& t) const;
    // Short date, a blank and the long time; the blank and the time are left
    // out when the time of day is midnight to the second.
    QString dateTimeText(const QDateTime& dt) const;
    // Short date, a blank and the long time, always.
    QString dateAndTimeText(const QDateTime& dt) const;

    // Read-back of texts made with these formats. Runs of blanks count as one.
    std::optional<QTime> parseTime(const QString& text) const;
    std::optional<QDate> parseDate(const QString& text) const;
    std::optional<QDateTime> parseDateTime(const QString& text) const;

    // Formats a date or time with any picture of these letters: d dd ddd dddd M MM MMM
    // MMMM y yy yyyy h hh H HH m mm s ss t tt, and quoted literals.
    static QString format(const QString& picture, const QDate& d, const QTime& t);

private:
    QString m_date = QStringLiteral("M/d/yyyy");
    QString m_time = QStringLiteral("h:mm:ss tt");
};

}  // namespace obu
