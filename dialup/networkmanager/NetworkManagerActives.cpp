// NetworkManager's active connections: learning of them, reading them, their
// states in order with their reasons, and the reasons their devices give.
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QScopeGuard>

#include "dialup/networkmanager/NetworkManagerBus.h"
#include "dialup/networkmanager/NetworkManagerClient.h"

namespace obu {

using namespace nm_bus;

namespace {

// NMDeviceState values after which a device no longer carries its connection.
constexpr uint32_t kDevicePrepare = 40;
bool deviceFalls(uint32_t state) {
    return state == 10 || state == 20 || state == 30 || state == 110 || state == 120;
}

}  // namespace

QList<NmActiveConnection> NetworkManagerClient::activeConnections() const {
    QList<NmActiveConnection> result;
    for (const NmActiveConnection& active : m_actives)
        if (m_loaded.contains(active.path) && !active.id.isEmpty()) result << active;
    return result;
}

void NetworkManagerClient::onManagerPropertiesChanged(const QString& interface,
                                                      const QVariantMap& changed,
                                                      const QStringList&) {
    if (!m_present || interface != kService) return;
    const auto it = changed.find(QStringLiteral("ActiveConnections"));
    if (it != changed.end()) setActivePaths(pathsOf(*it));
}

void NetworkManagerClient::setActivePaths(const QStringList& paths) {
    for (const QString& path : paths) trackActive(path);
    // One that left the list before its Deactivated state came ends here.
    for (const QString& path : m_actives.keys()) {
        const auto it = m_actives.find(path);
        if (it != m_actives.end() && !paths.contains(path) && m_loaded.contains(path))
            setActiveState(*it, NmActiveState::Deactivated, it->activeReason);
    }
}

void NetworkManagerClient::trackActive(const QString& path) {
    if (!m_present || m_actives.contains(path) || m_ended.contains(path)) return;
    NmActiveConnection active;
    active.path = path;
    m_actives.insert(path, active);
    const quint64 generation = m_generation;
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
    get << kActive;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, path](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // Once this answer has been told, or found too late to tell.
                const auto settle = qScopeGuard([this] { checkSettled(); });
                if (generation != m_generation || !m_actives.contains(path)) return;
                QDBusPendingReply<QVariantMap> reply = *w;
                m_loaded.insert(path);
                if (reply.isError()) {
                    // Gone before it could be read: ended, as far as anyone
                    // can tell. Told once its profile is known: the answer to
                    // this client's activation may still bring it.
                    NmActiveConnection& gone = m_actives[path];
                    gone.state = NmActiveState::Deactivated;
                    if (!gone.id.isEmpty()) setActiveState(gone, gone.state, gone.activeReason);
                    return;
                }
                applyActiveProperties(path, reply.value());
            });
}

void NetworkManagerClient::applyActiveProperties(const QString& path,
                                                 const QVariantMap& properties) {
    NmActiveConnection& active = m_actives[path];
    readActive(active, properties);
    // The states that signals told before the properties could be read come
    // first, in their order; the properties' state is as new as the last one.
    // Each report may lead its receiver to change this client: the entry is
    // looked up again after it.
    const QList<std::pair<NmActiveState, uint32_t>> early = m_earlyStates.take(path);
    for (const auto& [state, reason] : early) {
        const auto it = m_actives.find(path);
        if (it == m_actives.end()) return;
        setActiveState(*it, state, reason);
    }
    const auto it = m_actives.find(path);
    if (it == m_actives.end()) return;
    if (properties.contains(QStringLiteral("State"))) {
        const auto state = NmActiveState(properties.value(QStringLiteral("State")).toUInt());
        // States only move forward.
        if (state > it->state) it->state = state;
    }
    setActiveState(*it, it->state, it->activeReason);
}

void NetworkManagerClient::onActivePropertiesChanged(const QDBusMessage& message) {
    // Only the devices: its states come with their reasons by StateChanged.
    const QString path = message.path();
    if (!m_actives.contains(path) || message.arguments().size() < 2) return;
    const QVariantMap changed = mapOf(message.arguments().at(1));
    if (changed.contains(QStringLiteral("Devices")))
        m_actives[path].devices = pathsOf(changed.value(QStringLiteral("Devices")));
}

void NetworkManagerClient::onActiveStateChanged(const QDBusMessage& message) {
    if (!m_present || message.arguments().size() < 2) return;
    const QString path = message.path();
    trackActive(path);
    if (!m_actives.contains(path)) return;
    NmActiveConnection& active = m_actives[path];
    const auto state = NmActiveState(message.arguments().at(0).toUInt());
    const uint32_t reason = message.arguments().at(1).toUInt();
    if (state < active.state) return;
    if (m_loaded.contains(path)) {
        setActiveState(active, state, reason);
    } else {
        active.state = state;
        active.activeReason = reason;
        m_earlyStates[path].append({state, reason});
    }
}

void NetworkManagerClient::onDeviceStateChanged(const QDBusMessage& message) {
    if (!m_present || message.arguments().size() < 3) return;
    const QString device = message.path();
    const uint32_t state = message.arguments().at(0).toUInt();
    const uint32_t reason = message.arguments().at(2).toUInt();
    // The first fall's reason is the cause; those that follow it (failed →
    // disconnected) say "none".
    if (state == kDevicePrepare) {
        m_deviceReasons.remove(device);
    } else if (deviceFalls(state) && reason != 0 && !m_deviceReasons.contains(device)) {
        m_deviceReasons.insert(device, reason);
        // The connection may have been too quick to read its devices: the
        // device told which one it carried.
        const auto it = m_actives.find(m_deviceActives.value(device));
        if (it != m_actives.end() && it->deviceReason == 0) it->deviceReason = reason;
    }
}

void NetworkManagerClient::onDevicePropertiesChanged(const QDBusMessage& message) {
    if (message.arguments().size() < 2) return;
    const QVariantMap changed = mapOf(message.arguments().at(1));
    const auto it = changed.find(QStringLiteral("ActiveConnection"));
    // "/" when the device lets it go, which may come before the device's
    // fall: the last one it carried is kept.
    if (it != changed.end() && pathOf(*it) != QLatin1String("/"))
        m_deviceActives.insert(message.path(), pathOf(*it));
}

void NetworkManagerClient::setActiveState(NmActiveConnection& active, NmActiveState state,
                                          uint32_t reason) {
    active.state = state;
    active.activeReason = reason;
    if (state == NmActiveState::Activated) active.wasActivated = true;
    if (m_reported.value(active.path, NmActiveState::Unknown) == state) return;
    m_reported.insert(active.path, state);
    if (state == NmActiveState::Deactivated) {
        for (const QString& device : active.devices)
            if (active.deviceReason == 0) active.deviceReason = m_deviceReasons.value(device);
    }
    if (state == NmActiveState::Deactivated) {
        active.endedByThisClient = m_ownDeactivations.contains(active.path);
        const NmActiveConnection ended = active;
        forgetActive(active.path);
        m_ended.insert(ended.path);
        emit activeConnectionChanged(ended);
        return;
    }
    emit activeConnectionChanged(active);
}

void NetworkManagerClient::forgetActive(const QString& path) {
    m_actives.remove(path);
    m_loaded.remove(path);
    m_earlyStates.remove(path);
    m_reported.remove(path);
    m_ownDeactivations.remove(path);
}

}  // namespace obu
