#pragma once
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// NetworkManager's names on the system bus, and the values of its replies and
// signals read whichever way D-Bus delivered them, for the client's files.
namespace obu {
struct NmProfile;
struct NmActiveConnection;
}  // namespace obu

namespace obu::nm_bus {

inline const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
inline const QString kSettings = QStringLiteral("org.freedesktop.NetworkManager.Settings");
inline const QString kProfile =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
inline const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
inline const QString kDevice = QStringLiteral("org.freedesktop.NetworkManager.Device");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// An object path, a list of them, and a dictionary of properties.
QString pathOf(const QVariant& value);
QStringList pathsOf(const QVariant& value);
QVariantMap mapOf(const QVariant& value);

// A profile read from its settings, as GetSettings answers them (a{sa{sv}}).
NmProfile profileOf(const QString& path, const QMap<QString, QVariantMap>& settings);
// What an active connection's properties (GetAll, or a change of them) say of
// its profile and its devices. Its state is left to the client, which keeps
// the states in order.
void readActive(NmActiveConnection& active, const QVariantMap& properties);

}  // namespace obu::nm_bus
