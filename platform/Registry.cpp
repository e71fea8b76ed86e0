#include "platform/Registry.h"

#include <QRegularExpression>

namespace obu {

QString Registry::schemeOf(const QString& address) {
    // A letter, then letters, digits, "+", "-" or ".", up to the colon.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch match = scheme.match(address.trimmed());
    return match.hasMatch() ? match.captured(1).toLower() : QStringLiteral("http");
}

}  // namespace obu
