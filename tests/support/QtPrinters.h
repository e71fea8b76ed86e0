#pragma once
#include <QDateTime>
#include <QStringList>
#include <optional>
#include <ostream>

// Readable failures: Qt's strings as text. Found by argument-dependent lookup,
// so they live where QString does.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i) *os << ", ";
        PrintTo(list[i], os);
    }
    *os << '}';
}
inline void PrintTo(const QDateTime& moment, std::ostream* os) {
    *os << moment.toString(Qt::ISODateWithMs).toStdString();
}
inline void PrintTo(const std::optional<QDateTime>& moment, std::ostream* os) {
    if (moment)
        PrintTo(*moment, os);
    else
        *os << "none";
}
