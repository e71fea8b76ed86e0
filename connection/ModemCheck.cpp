#include "connection/ModemCheck.h"

#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "ras/LineService.h"

namespace obu {

long LineModemCheck::lockOwner(const QString& lockFile) {
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    // UUCP locks hold the pid as ten ASCII characters (or, in old files, a binary int).
    const QByteArray bytes = file.read(64);
    bool ok = false;
    long pid = bytes.trimmed().toLong(&ok);
    if (!ok && bytes.size() == 4) {
        int binary = 0;
        memcpy(&binary, bytes.constData(), 4);
        pid = binary;
        ok = true;
    }
    if (!ok || pid <= 0) return 0;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return 0;
    return pid;
}

bool LineModemCheck::modemInUse(const QString& entryName, const QString& phoneBookPath) {
    if (entryName.isEmpty()) return false;
    const PhoneBook book = service_.phoneBook(phoneBookPath);
    const PhoneBookEntry* entry = book.find(entryName.toLatin1());
    if (!entry) return false;
    const long self = ::getpid();
    for (const LineRecord& line : service_.lines()) {
        if (line.device == entry->device && line.owner != self) return true;
    }
    if (entry->device.startsWith("/dev/")) {
        const QString lock =
            lockFolder_ + QStringLiteral("/LCK..") + QFileInfo(QString::fromLatin1(entry->device)).fileName();
        const long owner = lockOwner(lock);
        if (owner != 0 && owner != self) return true;
    }
    return false;
}

}  // namespace obu
