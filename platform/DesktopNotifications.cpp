#include "platform/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QUrl>
#include <QVariantMap>

namespace obu {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The server shows its own default time for a message.
constexpr int kServerDefaultTimeout = -1;
}  // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, const QString& iconFile)
    : m_bus(std::move(bus)),
      m_icon(iconFile.isEmpty() ? QString() : QUrl::fromLocalFile(iconFile).toString()) {}

bool DesktopNotifications::serverAvailable() {
    if (!m_bus.isConnected()) return false;
    QDBusConnectionInterface* daemon = m_bus.interface();
    if (!daemon) return false;
    if (daemon->isServiceRegistered(kService).value()) return true;
    // Asked once: the bus's list of services it can start changes only with
    // a new desktop session.
    if (!m_activatableKnown) {
        m_activatableKnown = true;
        const QDBusMessage listing = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
        const QDBusReply<QStringList> names = m_bus.call(listing, QDBus::Block, 2000);
        m_activatable = names.isValid() && names.value().contains(kService);
    }
    return m_activatable;
}

void DesktopNotifications::notify(const QString& summary, const QString& body) {
    if (!serverAvailable()) return;
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("org.obu.Linekeeper")}};
    message << QStringLiteral("Obu Linekeeper") << *m_lastId << m_icon << summary << body
            << QStringList() << hints << kServerDefaultTimeout;
    // Never waited for: a server that hangs must not hold the program's loop.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [lastId = m_lastId](QDBusPendingCallWatcher* call) {
                         const QDBusPendingReply<uint> reply = *call;
                         if (reply.isValid()) *lastId = reply.value();
                         call->deleteLater();
                     });
}

}  // namespace obu
