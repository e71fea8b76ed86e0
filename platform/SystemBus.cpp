#include "platform/SystemBus.h"

#include <QByteArray>
#include <QString>

namespace obu {

QDBusConnection systemBus() {
    const QByteArray address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) return QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(QString::fromLocal8Bit(address),
                                         QStringLiteral("obu-system-bus"));
}

}  // namespace obu
