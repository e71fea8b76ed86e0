#include "platform/PrintableText.h"

namespace obu {
namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Invisible, yet they move the text around them or break its line.
bool isLayoutMark(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void appendHex(QString& out, char16_t c, int digits) {
    out += QString::number(c, 16).rightJustified(digits, QLatin1Char('0'));
}

}  // namespace

bool needsEscaping(QStringView text) {
    for (const QChar c : text)
        if (isControl(c.unicode()) || isLayoutMark(c.unicode())) return true;
    return false;
}

QString printableText(QStringView text) {
    if (!needsEscaping(text)) return text.toString();
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (isControl(c)) {
            out += QLatin1String("\\x");
            appendHex(out, c, 2);
        } else if (isLayoutMark(c)) {
            out += QLatin1String("\\u");
            appendHex(out, c, 4);
        } else {
            out += qc;
        }
    }
    return out;
}

}  // namespace obu
