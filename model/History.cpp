#include "model/History.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTimeZone>
#include <cerrno>
#include <cstring>

namespace obu {

namespace {

const char kHeader[] = "# entry\tstart\tend\tended\tbytes received\tbytes sent\n";

// A name may hold a tab or a line break; the file's own separators must
// stay unambiguous, and the name come back as it was.
QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString unescaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == QLatin1Char('t')   ? QChar(u'\t')
               : next == QLatin1Char('n') ? QChar(u'\n')
               : next == QLatin1Char('r') ? QChar(u'\r')
                                          : next;
    }
    return out;
}

// With the offset from UTC, so that the file reads the same after a move to
// another time zone or across a change of daylight saving time.
QString timeText(const QDateTime& t) {
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString countText(const std::optional<qint64>& n) {
    return n ? QString::number(*n) : QString();
}

QByteArray lineOf(const HistorySession& s) {
    const QStringList fields{escaped(s.entry),  timeText(s.start),          timeText(s.end),
                             escaped(s.ending), countText(s.bytesReceived), countText(s.bytesSent)};
    return fields.join(QLatin1Char('\t')).toUtf8() + '\n';
}

bool parseCount(QStringView text, std::optional<qint64>* out) {
    if (text.isEmpty()) return true;
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < 0) return false;
    *out = n;
    return true;
}

bool parseLine(QStringView line, HistorySession* s) {
    const QList<QStringView> f = line.split(QLatin1Char('\t'));
    if (f.size() < 4 || f[0].isEmpty()) return false;
    s->entry = unescaped(f[0]);
    s->start = QDateTime::fromString(f[1].toString(), Qt::ISODate).toLocalTime();
    s->end = QDateTime::fromString(f[2].toString(), Qt::ISODate).toLocalTime();
    s->ending = unescaped(f[3]);
    if (!s->start.isValid() || !s->end.isValid() || s->end < s->start) return false;
    return parseCount(f.value(4), &s->bytesReceived) && parseCount(f.value(5), &s->bytesSent);
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace

QString historyEnding(CallEnd end) {
    switch (end) {
        case CallEnd::HungUpHere:
            return QStringLiteral("hung up");
        case CallEnd::Dropped:
            return QStringLiteral("dropped");
        case CallEnd::LimitReached:
            return QStringLiteral("limit reached");
        case CallEnd::ServiceGone:
            return QStringLiteral("source gone");
        case CallEnd::Failed:
            return QStringLiteral("failed");
        case CallEnd::None:
            break;
    }
    return {};
}

std::vector<HistorySession> History::read() {
    std::vector<HistorySession> sessions;
    m_unreadable = 0;
    m_torn = false;
    m_problem.clear();
    QFile file(m_path);
    if (!file.exists()) return sessions;
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return sessions;
    }
    const QString text = QString::fromUtf8(file.readAll());
    // A last line without its line break (a full disk, a crash) would have the
    // next session glued onto it.
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) m_torn = true;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('#'))) continue;
        HistorySession s;
        if (parseLine(line, &s))
            sessions.push_back(std::move(s));
        else
            ++m_unreadable;
    }
    return sessions;
}

bool History::append(const HistorySession& session) {
    std::vector<HistorySession> kept = read();
    if (!m_problem.isEmpty()) return false;
    const QDateTime yearAgo = session.end.addYears(-1);
    const auto isOld = [&](const HistorySession& s) { return s.end < yearAgo; };
    const bool prune = m_unreadable > 0 || m_torn ||
                       kept.size() >= static_cast<std::size_t>(kMaxSessions) ||
                       (!kept.empty() && isOld(kept.front()));
    if (!prune) {
        // The common case adds one line: nothing else of the file is touched.
        const QByteArray name = QFile::encodeName(m_path);
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            m_problem = QStringLiteral("cannot open %1: %2").arg(m_path, systemError());
            return false;
        }
        QByteArray bytes = lineOf(session);
        if (kept.empty() && ::lseek(fd, 0, SEEK_END) == 0) bytes.prepend(kHeader);
        bool written = true;
        for (qsizetype done = 0; written && done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            written = n > 0;
            done += written ? n : 0;
        }
        if (!written) m_problem = QStringLiteral("cannot write %1: %2").arg(m_path, systemError());
        ::close(fd);
        return written;
    }
    std::erase_if(kept, isOld);
    kept.push_back(session);
    if (kept.size() > static_cast<std::size_t>(kMaxSessions))
        kept.erase(kept.begin(), kept.end() - kMaxSessions);
    // Rewritten whole into a new file that replaces the old one, so that a
    // full disk or a crash never leaves half a history.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_problem = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(kHeader);
    for (const HistorySession& s : kept) file.write(lineOf(s));
    if (!file.commit()) {
        m_problem = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

HistoryTotals historyTotals(const std::vector<HistorySession>& sessions) {
    HistoryTotals totals;
    for (const HistorySession& s : sessions) {
        QDateTime from = s.start.toLocalTime();
        const QDateTime to = s.end.toLocalTime();
        while (from < to) {
            const QDateTime midnight(from.date().addDays(1), QTime(0, 0));
            const QDateTime until = std::min(to, midnight.isValid() ? midnight : to);
            const qint64 seconds = from.secsTo(until);
            totals.days[from.date()] += seconds;
            const QDate month(from.date().year(), from.date().month(), 1);
            totals.months[month] += seconds;
            from = until;
        }
    }
    return totals;
}

}  // namespace obu
