#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace obu {

// The system's short date and long time formats, as Windows pictures
// ("M/d/yyyy", "h:mm:ss tt"), and the conversions the program makes with them.
class Formats {
public:
    Formats() = default;
    Formats(QString shortDate, QString longTime)
        : shortDate_(std::move(shortDate)), longTime_(std::move(longTime)) {}

    const QString& shortDatePicture() const { return shortDate_; }
    const QString& longTimePicture() const { return longTime_; }

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

    // Formats a date or time with any Windows picture: d dd ddd dddd M MM MMM
    // MMMM y yy yyyy h hh H HH m mm s ss t tt, and quoted literals.
    static QString format(const QString& picture, const QDate& d, const QTime& t);

private:
    QString shortDate_ = QStringLiteral("M/d/yyyy");
    QString longTime_ = QStringLiteral("h:mm:ss tt");
};

}  // namespace obu
