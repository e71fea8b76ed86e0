#include "tools/obu-line/Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/PrintableText.h"

namespace obu::line {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

QString shown(const QString& text) {
    return printableText(text);
}

QString shown(const QByteArray& latin1) {
    return printableText(QString::fromLatin1(latin1));
}

QString terseLine(const QStringList& fields) {
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString& field : fields) {
        QString f = shown(field);
        f.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        f.replace(QLatin1Char(':'), QLatin1String("\\:"));
        escaped << f;
    }
    return escaped.join(QLatin1Char(':'));
}

QByteArray terminalSafeJson(const QByteArray& json) {
    const QString text = QString::fromUtf8(json);
    if (!needsEscaping(text)) return json;
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        // Qt has escaped every C0 control inside the strings, so those left
        // are the document's own layout. Outside the strings a JSON document
        // is plain ASCII: every other such character is inside a string,
        // where \uXXXX stands for it.
        if (c.unicode() < 0x20 || c.isSurrogate() || !needsEscaping(QStringView(&c, 1)))
            safe += c;
        else
            safe += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return safe.toUtf8();
}

void writeJson(const QJsonDocument& document) {
    out() << QString::fromUtf8(terminalSafeJson(document.toJson(QJsonDocument::Indented)));
}

int finish(int status) {
    out().flush();
    const bool failed =
        out().status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (!failed) return status;
    const int why = errno;
    err() << "obu-line: cannot write the output: "
          << QString::fromLocal8Bit(std::strerror(why ? why : EIO)) << Qt::endl;
    return status == kOk ? kFailed : status;
}

}  // namespace obu::line
