#include "dialup/networkmanager/NetworkManagerBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace obu::nm_bus {

QString pathOf(const QVariant& value) {
    return value.value<QDBusObjectPath>().path();
}

QStringList pathsOf(const QVariant& value) {
    QList<QDBusObjectPath> paths;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> paths;
    else
        paths = value.value<QList<QDBusObjectPath>>();
    QStringList result;
    for (const QDBusObjectPath& path : paths) result << path.path();
    return result;
}

QVariantMap mapOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value);
    return value.toMap();
}

}  // namespace obu::nm_bus
