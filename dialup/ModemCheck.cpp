#include "dialup/ModemCheck.h"

#include <unistd.h>

#include "dialup/modem/UucpLock.h"
#include "dialup/phonebook/LineService.h"

namespace obu {

bool LineModemCheck::modemInUse(const QString& entryName, const QString& phoneBookPath) {
    if (entryName.isEmpty()) return false;
    const PhoneBook book = m_service.phoneBook(phoneBookPath);
    const PhoneBookEntry* entry = book.find(entryName.toLatin1());
    if (!entry) return false;
    const long self = ::getpid();
    for (const LineRecord& line : m_service.lines()) {
        if (line.device == entry->device && line.owner != self) return true;
    }
    if (entry->device.startsWith("/dev/")) {
        // The serial driver's own reading of the lock: dead owners and zombies do not count.
        const pid_t owner = UucpLock::owner(UucpLock::lockPath(m_lockFolder, entry->device));
        if (owner != 0 && owner != self) return true;
    }
    return false;
}

}  // namespace obu
