#include "app/JournalEcho.h"

#include <sys/stat.h>

#include <QStringList>
#include <cstdio>

namespace obu {

bool standardOutputIsJournal() {
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const QList<QByteArray> parts = stream.split(':');
    if (parts.size() != 2) return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat st {};
    if (!deviceOk || !inodeOk || ::fstat(1, &st) != 0) return false;
    return static_cast<qulonglong>(st.st_dev) == device &&
           static_cast<qulonglong>(st.st_ino) == inode;
}

QString journalLine(const QString& logLine) {
    // The log's lines read "[date time]: message"; a time stamp holds no "]: ".
    QString message = logLine;
    const qsizetype end = logLine.indexOf(QStringLiteral("]: "));
    if (logLine.startsWith(QLatin1Char('[')) && end > 0) message = logLine.mid(end + 3);
    static const QStringList failures = {
        QStringLiteral("Dial failed"), QStringLiteral("Reconnect failed"),
        QStringLiteral("Connection ended"), QStringLiteral("The line is up but no traffic passes"),
        QStringLiteral("No dial tone found")};
    for (const QString& failure : failures)
        if (message.startsWith(failure)) return QStringLiteral("<3>") + message;
    return QStringLiteral("<6>") + message;
}

std::function<void(const QString&)> headlessLogEcho() {
    const bool journal = standardOutputIsJournal();
    return [journal](const QString& line) {
        std::puts((journal ? journalLine(line) : line).toLocal8Bit().constData());
        std::fflush(stdout);
    };
}

}  // namespace obu
