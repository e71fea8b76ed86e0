#include "dialup/networkmanager/NetworkManagerBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

#include "dialup/networkmanager/NetworkManagerClient.h"

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

NmProfile profileOf(const QString& path, const QMap<QString, QVariantMap>& settings) {
    const QVariantMap connection = settings.value(QStringLiteral("connection"));
    return NmProfile{path, connection.value(QStringLiteral("id")).toString(),
                     connection.value(QStringLiteral("uuid")).toString(),
                     connection.value(QStringLiteral("type")).toString()};
}

void readActive(NmActiveConnection& active, const QVariantMap& properties) {
    if (properties.contains(QStringLiteral("Connection"))) {
        active.profilePath = pathOf(properties.value(QStringLiteral("Connection")));
        active.id = properties.value(QStringLiteral("Id")).toString();
        active.uuid = properties.value(QStringLiteral("Uuid")).toString();
        active.type = properties.value(QStringLiteral("Type")).toString();
    }
    if (properties.contains(QStringLiteral("Devices")))
        active.devices = pathsOf(properties.value(QStringLiteral("Devices")));
}

}  // namespace obu::nm_bus
