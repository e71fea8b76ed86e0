#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "dialup/Call.h"

namespace obu {

// One session of the kept line: from the moment it came up to the moment it
// ended, and how it ended. The byte counts stay empty when the line's source
// does not count them; zero means counted and nothing passed.
struct HistorySession {
    QString entry;
    QDateTime start;
    QDateTime end;
    QString ending;  // one of the words of historyEnding(), or the caller's own
    std::optional<qint64> bytesReceived;
    std::optional<qint64> bytesSent;

    qint64 seconds() const { return start.isValid() && end > start ? start.secsTo(end) : 0; }
};

// The word the history keeps for how a call ended: "hung up", "dropped",
// "limit reached", "source gone" (and "failed" or "" for the others, which
// are no sessions).
QString historyEnding(CallEnd end);

// The sessions of the kept line, one a line in history.tsv beside the log, so
// that a user can see how long the line was up on each day and month. The
// file keeps a year, and at most kMaxSessions sessions: older ones go when a
// session is appended. It is the user's own (0600), like the log.
class History {
public:
    static constexpr int kMaxSessions = 10000;
    static constexpr const char* kFileName = "history.tsv";

    explicit History(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // Adds a session at the end of the file, pruning what the bounds leave
    // out. False when the file cannot be written; problem() says why.
    bool append(const HistorySession& session);

    // The sessions in the order they were appended. A missing file is an
    // empty history; lines that cannot be read are skipped and counted.
    std::vector<HistorySession> read();

    // How many lines the last read() skipped.
    int unreadableLines() const { return m_unreadable; }
    const QString& problem() const { return m_problem; }

private:
    QString m_path;
    QString m_problem;
    int m_unreadable = 0;
    bool m_torn = false;
};

// Seconds online per local day and per month (the first day of the month).
// A session that runs past midnight counts toward each day it touches, and so
// toward each month.
struct HistoryTotals {
    std::map<QDate, qint64> days;
    std::map<QDate, qint64> months;
};
HistoryTotals historyTotals(const std::vector<HistorySession>& sessions);

}  // namespace obu
