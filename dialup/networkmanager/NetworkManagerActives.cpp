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
    for (const NmActiveConnection& active : actives_)
        if (loaded_.contains(active.path) && !active.id.isEmpty()) result << active;
    return result;
}

void NetworkManagerClient::onManagerPropertiesChanged(const QString& interface,
                                                      const QVariantMap& changed,
                                                      const QStringList&) {
    if (!present_ || interface != kService) return;
    const auto it = changed.find(QStringLiteral("ActiveConnections"));
    if (it != changed.end()) setActivePaths(pathsOf(*it));
}

void NetworkManagerClient::setActivePaths(const QStringList& paths) {
    for (const QString& path : paths) trackActive(path);
    // One that left the list before its Deactivated state came ends here.
    for (const QString& path : actives_.keys()) {
        const auto it = actives_.find(path);
        if (it != actives_.end() && !paths.contains(path) && loaded_.contains(path))
            setActiveState(*it, NmActiveState::Deactivated, it->activeReason);
    }
}

void NetworkManagerClient::trackActive(const QString& path) {
    if (!present_ || actives_.contains(path) || ended_.contains(path)) return;
    NmActiveConnection active;
    active.path = path;
    actives_.insert(path, active);
    const quint64 generation = generation_;
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
    get << kActive;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, path](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // Once this answer has been told, or found too late to tell.
                const auto settle = qScopeGuard([this] { checkSettled(); });
                if (generation != generation_ || !actives_.contains(path)) return;
                QDBusPendingReply<QVariantMap> reply = *w;
                loaded_.insert(path);
                if (reply.isError()) {
                    // Gone before it could be read: ended, as far as anyone
                    // can tell. Told once its profile is known: the answer to
                    // this client's activation may still bring it.
                    NmActiveConnection& gone = actives_[path];
                    gone.state = NmActiveState::Deactivated;
                    if (!gone.id.isEmpty()) setActiveState(gone, gone.state, gone.activeReason);
                    return;
                }
                applyActiveProperties(path, reply.value());
            });
}

void NetworkManagerClient::applyActiveProperties(const QString& path,
                                                 const QVariantMap& properties) {
    NmActiveConnection& active = actives_[path];
    if (properties.contains(QStringLiteral("Connection"))) {
        active.profilePath = pathOf(properties.value(QStringLiteral("Connection")));
        active.id = properties.value(QStringLiteral("Id")).toString();
        active.uuid = properties.value(QStringLiteral("Uuid")).toString();
        active.type = properties.value(QStringLiteral("Type")).toString();
    }
    if (properties.contains(QStringLiteral("Devices")))
        active.devices = pathsOf(properties.value(QStringLiteral("Devices")));
    // The states that signals told before the properties could be read come
    // first, in their order; the properties' state is as new as the last one.
    // Each report may lead its receiver to change this client: the entry is
    // looked up again after it.
    const QList<std::pair<NmActiveState, uint32_t>> early = earlyStates_.take(path);
    for (const auto& [state, reason] : early) {
        const auto it = actives_.find(path);
        if (it == actives_.end()) return;
        setActiveState(*it, state, reason);
    }
    const auto it = actives_.find(path);
    if (it == actives_.end()) return;
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
    if (!actives_.contains(path) || message.arguments().size() < 2) return;
    const QVariantMap changed = mapOf(message.arguments().at(1));
    if (changed.contains(QStringLiteral("Devices")))
        actives_[path].devices = pathsOf(changed.value(QStringLiteral("Devices")));
}

void NetworkManagerClient::onActiveStateChanged(const QDBusMessage& message) {
    if (!present_ || message.arguments().size() < 2) return;
    const QString path = message.path();
    trackActive(path);
    if (!actives_.contains(path)) return;
    NmActiveConnection& active = actives_[path];
    const auto state = NmActiveState(message.arguments().at(0).toUInt());
    const uint32_t reason = message.arguments().at(1).toUInt();
    if (state < active.state) return;
    if (loaded_.contains(path)) {
        setActiveState(active, state, reason);
    } else {
        active.state = state;
        active.activeReason = reason;
        earlyStates_[path].append({state, reason});
    }
}

void NetworkManagerClient::onDeviceStateChanged(const QDBusMessage& message) {
    if (!present_ || message.arguments().size() < 3) return;
    const QString device = message.path();
    const uint32_t state = message.arguments().at(0).toUInt();
    const uint32_t reason = message.arguments().at(2).toUInt();
    // The first fall's reason is the cause; those that follow it (failed →
    // disconnected) say "none".
    if (state == kDevicePrepare) {
        deviceReasons_.remove(device);
    } else if (deviceFalls(state) && reason != 0 && !deviceReasons_.contains(device)) {
        deviceReasons_.insert(device, reason);
        // The connection may have been too quick to read its devices: the
        // device told which one it carried.
        const auto it = actives_.find(deviceActives_.value(device));
        if (it != actives_.end() && it->deviceReason == 0) it->deviceReason = reason;
    }
}

void NetworkManagerClient::onDevicePropertiesChanged(const QDBusMessage& message) {
    if (message.arguments().size() < 2) return;
    const QVariantMap changed = mapOf(message.arguments().at(1));
    const auto it = changed.find(QStringLiteral("ActiveConnection"));
    // "/" when the device lets it go, which may come before the device's
    // fall: the last one it carried is kept.
    if (it != changed.end() && pathOf(*it) != QLatin1String("/"))
        deviceActives_.insert(message.path(), pathOf(*it));
}

void NetworkManagerClient::setActiveState(NmActiveConnection& active, NmActiveState state,
                                          uint32_t reason) {
    active.state = state;
    active.activeReason = reason;
    if (state == NmActiveState::Activated) active.wasActivated = true;
    if (reported_.value(active.path, NmActiveState::Unknown) == state) return;
    reported_.insert(active.path, state);
    if (state == NmActiveState::Deactivated) {
        for (const QString& device : active.devices)
            if (active.deviceReason == 0) active.deviceReason = deviceReasons_.value(device);
    }
    if (state == NmActiveState::Deactivated) {
        active.endedByThisClient = ownDeactivations_.contains(active.path);
        const NmActiveConnection ended = active;
        forgetActive(active.path);
        ended_.insert(ended.path);
        emit activeConnectionChanged(ended);
        return;
    }
    emit activeConnectionChanged(active);
}

void NetworkManagerClient::forgetActive(const QString& path) {
    actives_.remove(path);
    loaded_.remove(path);
    earlyStates_.remove(path);
    reported_.remove(path);
    ownDeactivations_.remove(path);
}

}  // namespace obu
