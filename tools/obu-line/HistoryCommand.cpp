// obu-line history: the sessions of the kept line, and the time online per
// day and month.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "model/History.h"
#include "tools/obu-line/Commands.h"

namespace obu::line {

namespace {

QString duration(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString timeText(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// For scripts: with the offset from UTC, so that the moment is never in doubt.
QString isoText(const QDateTime& t) {
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString countText(const std::optional<qint64>& n) {
    return n ? QString::number(*n) : QString();
}

QJsonValue jsonCount(const std::optional<qint64>& n) {
    return n ? QJsonValue(static_cast<double>(*n)) : QJsonValue();
}

void writeJsonHistory(const std::vector<HistorySession>& sessions, const HistoryTotals& totals) {
    QJsonArray list;
    for (const HistorySession& s : sessions) {
        list.append(QJsonObject{{QStringLiteral("entry"), s.entry},
                                {QStringLiteral("start"), isoText(s.start)},
                                {QStringLiteral("end"), isoText(s.end)},
                                {QStringLiteral("seconds"), s.seconds()},
                                {QStringLiteral("ended"), s.ending},
                                {QStringLiteral("bytesReceived"), jsonCount(s.bytesReceived)},
                                {QStringLiteral("bytesSent"), jsonCount(s.bytesSent)}});
    }
    QJsonArray days;
    for (const auto& [day, seconds] : totals.days)
        days.append(QJsonObject{{QStringLiteral("day"), day.toString(Qt::ISODate)},
                                {QStringLiteral("seconds"), seconds}});
    QJsonArray months;
    for (const auto& [month, seconds] : totals.months)
        months.append(
            QJsonObject{{QStringLiteral("month"), month.toString(QStringLiteral("yyyy-MM"))},
                        {QStringLiteral("seconds"), seconds}});
    writeJson(QJsonDocument(QJsonObject{{QStringLiteral("sessions"), list},
                                        {QStringLiteral("days"), days},
                                        {QStringLiteral("months"), months}}));
}

// --terse: one record a line, its kind first.
void writeTerseHistory(const std::vector<HistorySession>& sessions, const HistoryTotals& totals) {
    for (const HistorySession& s : sessions)
        out() << terseLine({QStringLiteral("session"), s.entry, isoText(s.start), isoText(s.end),
                            QString::number(s.seconds()), s.ending, countText(s.bytesReceived),
                            countText(s.bytesSent)})
              << '\n';
    for (const auto& [day, seconds] : totals.days)
        out() << terseLine(
                     {QStringLiteral("day"), day.toString(Qt::ISODate), QString::number(seconds)})
              << '\n';
    for (const auto& [month, seconds] : totals.months)
        out() << terseLine({QStringLiteral("month"), month.toString(QStringLiteral("yyyy-MM")),
                            QString::number(seconds)})
              << '\n';
}

void writePlainHistory(const std::vector<HistorySession>& sessions, const HistoryTotals& totals) {
    if (sessions.empty()) {
        out() << "No sessions." << '\n';
        return;
    }
    out() << "Sessions:" << '\n';
    for (const HistorySession& s : sessions) {
        out() << "  " << timeText(s.start) << "  " << timeText(s.end) << "  "
              << duration(s.seconds()).rightJustified(9) << "  " << shown(s.entry) << " ("
              << shown(s.ending.isEmpty() ? QStringLiteral("ended") : s.ending);
        if (s.bytesReceived || s.bytesSent)
            out() << ", " << countText(s.bytesReceived) << " bytes in, " << countText(s.bytesSent)
                  << " bytes out";
        out() << ")" << '\n';
    }
    out() << "Online per day:" << '\n';
    for (const auto& [day, seconds] : totals.days)
        out() << "  " << day.toString(Qt::ISODate) << "  " << duration(seconds).rightJustified(9)
              << '\n';
    out() << "Online per month:" << '\n';
    for (const auto& [month, seconds] : totals.months)
        out() << "  " << month.toString(QStringLiteral("yyyy-MM")) << "     "
              << duration(seconds).rightJustified(9) << '\n';
}

}  // namespace

int showHistory(const Request& request, const QString& historyFile) {
    History history(historyFile);
    const std::vector<HistorySession> sessions = history.read();
    if (!history.problem().isEmpty()) {
        err() << "obu-line: " << shown(history.problem()) << Qt::endl;
        return QFileInfo(historyFile).isReadable() ? kFailed : kPermission;
    }
    if (const int bad = history.unreadableLines(); bad > 0)
        err() << "obu-line: " << bad << (bad == 1 ? " line" : " lines") << " of "
              << shown(historyFile) << " cannot be read and " << (bad == 1 ? "is" : "are")
              << " left out" << Qt::endl;
    const HistoryTotals totals = historyTotals(sessions);
    if (request.format == Format::Json)
        writeJsonHistory(sessions, totals);
    else if (request.format == Format::Terse)
        writeTerseHistory(sessions, totals);
    else
        writePlainHistory(sessions, totals);
    return kOk;
}

}  // namespace obu::line
