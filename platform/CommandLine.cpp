#include "platform/CommandLine.h"

namespace obu::CommandLine {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Splits from `i` on by the argument rules, appending to `out`.
void splitArgumentsFrom(const QString& s, qsizetype i, QStringList& out) {
    const qsizetype n = s.size();
    while (i < n && isBlank(s[i])) ++i;
    if (i >= n) return;

    QString current;
    int quotes = 0;  // 1 inside a quoted part, 0 outside
    qsizetype backslashes = 0;
    while (i < n) {
        const QChar c = s[i];
        if (isBlank(c) && quotes == 0) {
            out.append(current);
            current.clear();
            backslashes = 0;
            while (i < n && isBlank(s[i])) ++i;
            if (i >= n) return;
            continue;
        }
        if (c == u'\\') {
            current.append(c);
            ++backslashes;
            ++i;
            continue;
        }
        if (c == u'"') {
            // The backslashes already copied before this quote come out halved;
            // an odd one left over makes the quote literal.
            current.chop(backslashes / 2);
            if (backslashes % 2 == 1) {
                current.chop(1);
                current.append(u'"');
            } else {
                ++quotes;
            }
            backslashes = 0;
            ++i;
            while (i < n && s[i] == u'"') {
                if (++quotes == 3) {
                    current.append(u'"');
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        current.append(c);
        backslashes = 0;
        ++i;
    }
    out.append(current);
}

}  // namespace

QStringList split(const QString& commandLine) {
    QStringList out;
    const QString& s = commandLine;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n && isBlank(s[i])) ++i;
    if (i >= n) return out;

    QString program;
    if (s[i] == u'"') {
        ++i;
        while (i < n && s[i] != u'"') program.append(s[i++]);
        if (i < n) ++i;  // the closing quote
    } else {
        while (i < n && !isBlank(s[i])) program.append(s[i++]);
    }
    out.append(program);
    splitArgumentsFrom(s, i, out);
    return out;
}

QStringList splitArguments(const QString& text) {
    QStringList out;
    splitArgumentsFrom(text, 0, out);
    return out;
}

QString quoteArgument(const QString& argument) {
    const bool plain = !argument.isEmpty() && !argument.contains(u' ') &&
                       !argument.contains(u'\t') && !argument.contains(u'"');
    if (plain) return argument;

    QString out(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            out.append(QString(backslashes * 2 + 1, u'\\'));
            out.append(u'"');
        } else {
            out.append(QString(backslashes, u'\\'));
            out.append(c);
        }
        backslashes = 0;
    }
    // Backslashes before the closing quote must not escape it.
    out.append(QString(backslashes * 2, u'\\'));
    out.append(u'"');
    return out;
}

QString quoteProgram(const QString& program) {
    if (program.contains(u'"')) return {};
    if (program.isEmpty() || program.contains(u' ') || program.contains(u'\t'))
        return u'"' + program + u'"';
    return program;
}

QString joinArguments(const QStringList& arguments) {
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QString& a : arguments) quoted.append(quoteArgument(a));
    return quoted.join(u' ');
}

}  // namespace obu::CommandLine
