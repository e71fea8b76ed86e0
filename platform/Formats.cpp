#include "platform/Formats.h"

#include <QLocale>
#include <QStringList>

namespace obu {
namespace {

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kShortDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kLongDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};

// Length of the run of the same character starting at i.
int runLength(const QString& s, int i) {
    int n = 1;
    while (i + n < s.size() && s[i + n] == s[i]) ++n;
    return n;
}

QString pad(int value, int width) {
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

// One element of a picture: a field letter run or a literal text.
struct Token {
    QChar field;  // 0 for a literal
    int count = 0;
    QString literal;
};

QList<Token> tokenize(const QString& picture) {
    QList<Token> tokens;
    for (int i = 0; i < picture.size();) {
        const QChar c = picture[i];
        if (c == QLatin1Char('\'')) {
            int end = picture.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0) end = picture.size();
            tokens.append({QChar(), 0, picture.mid(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        if (QStringLiteral("dMyhHmstg").contains(c)) {
            const int n = runLength(picture, i);
            tokens.append({c, n, {}});
            i += n;
            continue;
        }
        tokens.append({QChar(), 0, QString(c)});
        ++i;
    }
    return tokens;
}

QString formatField(const Token& tok, const QDate& d, const QTime& t) {
    const int n = tok.count;
    switch (tok.field.unicode()) {
        case 'd':
            if (n == 1)
                return QString::number(d.day());
            else if (n == 2)
                return pad(d.day(), 2);
            else if (n == 3)
                return QLatin1String(kShortDays[d.dayOfWeek() - 1]);
            else
                return QLatin1String(kLongDays[d.dayOfWeek() - 1]);
        case 'M':
            if (n == 1)
                return QString::number(d.month());
            else if (n == 2)
                return pad(d.month(), 2);
            else if (n == 3)
                return QLatin1String(kShortMonths[d.month() - 1]);
            else
                return QLatin1String(kLongMonths[d.month() - 1]);
        case 'y':
            if (n <= 2)
                return pad(d.year() % 100, n == 1 ? 1 : 2);
            else
                return pad(d.year(), 4);
        case 'g':
            return QStringLiteral("A.D.");
        case 'h': {
            int h = t.hour() % 12;
            if (h == 0) h = 12;
            return n == 1 ? QString::number(h) : pad(h, 2);
        }
        case 'H':
            return n == 1 ? QString::number(t.hour()) : pad(t.hour(), 2);
        case 'm':
            return n == 1 ? QString::number(t.minute()) : pad(t.minute(), 2);
        case 's':
            return n == 1 ? QString::number(t.second()) : pad(t.second(), 2);
        case 't': {
            const QString ampm = t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            return n == 1 ? ampm.left(1) : ampm;
        }
    }
    return {};
}

}  // namespace

QString Formats::format(const QString& picture, const QDate& d, const QTime& t) {
    QString out;
    for (const Token& tok : tokenize(picture))
        out += tok.field.isNull() ? tok.literal : formatField(tok, d, t);
    return out;
}

QString Formats::dateText(const QDate& d) const {
    return format(m_date, d, QTime(0, 0));
}

QString Formats::timeText(const QTime& t) const {
    return format(m_time, QDate(2000, 1, 1), t);
}

QString Formats::dateAndTimeText(const QDateTime& dt) const {
    return dateText(dt.date()) + QLatin1Char(' ') + timeText(dt.time());
}

QString Formats::dateTimeText(const QDateTime& dt) const {
    const QTime t = dt.time();
    // The text has no milliseconds, so neither has the test for midnight: an
    // event at 0:00:00 is stamped the same whatever fraction of a second it had.
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return dateText(dt.date());
    return dateAndTimeText(dt);
}

namespace {

// Reads a text against a picture. Letters of fields take their digits or
// names; blanks in either text match any run of blanks.
struct Parsed {
    int year = -1, month = -1, day = -1, hour = -1, minute = 0, second = 0;
    int ampm = -1;  // 0 AM, 1 PM
};

// Reads a date or time from text at pos, blanks before each part allowed.
struct TextReader {
    const QString& text;
    int& pos;

    void skipBlanks() {
        while (pos < text.size() && text[pos] == QLatin1Char(' ')) ++pos;
    }
    bool readNumber(int maxDigits, int& out) {
        skipBlanks();
        int start = pos, value = 0;
        while (pos < text.size() && pos - start < maxDigits && text[pos].isDigit()) {
            value = value * 10 + text[pos].digitValue();
            ++pos;
        }
        if (pos == start) return false;
        out = value;
        return true;
    }
    bool readName(const char* const* names, int count, int& out) {
        skipBlanks();
        for (int i = 0; i < count; ++i) {
            const QLatin1String name(names[i]);
            if (text.mid(pos, name.size()).compare(name, Qt::CaseInsensitive) == 0) {
                pos += name.size();
                out = i + 1;
                return true;
            }
        }
        return false;
    }
    bool readLiteral(const QString& literal) {
        for (QChar c : literal) {
            skipBlanks();
            if (c == QLatin1Char(' ')) continue;
            if (pos >= text.size() || text[pos] != c) return false;
            ++pos;
        }
        return true;
    }
    bool readAmPm(int count, int& ampm) {
        skipBlanks();
        const QString rest = text.mid(pos, count == 1 ? 1 : 2).toUpper();
        if (rest.startsWith(QLatin1Char('A')))
            ampm = 0;
        else if (rest.startsWith(QLatin1Char('P')))
            ampm = 1;
        else
            return false;
        pos += rest.size();
        return true;
    }
};

bool readField(const Token& tok, TextReader& in, Parsed& p) {
    int dummy = 0;
    switch (tok.field.unicode()) {
        case 'd':
            if (tok.count <= 2) return in.readNumber(2, p.day);
            return in.readName(tok.count == 3 ? kShortDays : kLongDays, 7, dummy);
        case 'M':
            if (tok.count <= 2) return in.readNumber(2, p.month);
            return in.readName(tok.count == 3 ? kShortMonths : kLongMonths, 12, p.month);
        case 'y':
            if (!in.readNumber(4, p.year)) return false;
            if (tok.count <= 2 && p.year < 100) p.year += p.year < 50 ? 2000 : 1900;
            return true;
        case 'g':
            in.skipBlanks();
            if (in.text.mid(in.pos, 4) == QLatin1String("A.D.")) in.pos += 4;
            return true;
        case 'h':
        case 'H':
            return in.readNumber(2, p.hour);
        case 'm':
            return in.readNumber(2, p.minute);
        case 's':
            return in.readNumber(2, p.second);
        case 't':
            return in.readAmPm(tok.count, p.ampm);
        default:
            return true;
    }
}

bool parseWith(const QString& picture, const QString& text, int& pos, Parsed& p) {
    TextReader in{text, pos};
    for (const Token& tok : tokenize(picture)) {
        const bool read = tok.field.isNull() ? in.readLiteral(tok.literal) : readField(tok, in, p);
        if (!read) return false;
    }
    return true;
}

std::optional<QTime> toTime(const Parsed& p) {
    int h = p.hour;
    if (h < 0) return std::nullopt;
    if (p.ampm >= 0) {
        if (h < 1 || h > 12) return std::nullopt;
        h = (h % 12) + (p.ampm == 1 ? 12 : 0);
    }
    QTime t(h, p.minute, p.second);
    if (!t.isValid()) return std::nullopt;
    return t;
}

std::optional<QDate> toDate(const Parsed& p) {
    QDate d(p.year, p.month, p.day);
    if (!d.isValid()) return std::nullopt;
    return d;
}

bool atEnd(const QString& text, int pos) {
    while (pos < text.size() && text[pos] == QLatin1Char(' ')) ++pos;
    return pos == text.size();
}

}  // namespace

std::optional<QTime> Formats::parseTime(const QString& text) const {
    Parsed p;
    int pos = 0;
    if (!parseWith(m_time, text, pos, p) || !atEnd(text, pos)) return std::nullopt;
    return toTime(p);
}

std::optional<QDate> Formats::parseDate(const QString& text) const {
    Parsed p;
    int pos = 0;
    if (!parseWith(m_date, text, pos, p) || !atEnd(text, pos)) return std::nullopt;
    return toDate(p);
}

std::optional<QDateTime> Formats::parseDateTime(const QString& text) const {
    Parsed p;
    int pos = 0;
    if (!parseWith(m_date, text, pos, p)) return std::nullopt;
    const auto date = toDate(p);
    if (!date) return std::nullopt;
    if (atEnd(text, pos)) return QDateTime(*date, QTime(0, 0));
    Parsed tp;
    if (!parseWith(m_time, text, pos, tp) || !atEnd(text, pos)) return std::nullopt;
    const auto time = toTime(tp);
    if (!time) return std::nullopt;
    return QDateTime(*date, *time);
}

}  // namespace obu
