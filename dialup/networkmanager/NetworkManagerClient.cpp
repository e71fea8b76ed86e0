#include "dialup/networkmanager/NetworkManagerClient.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QScopeGuard>
#include <algorithm>

using NmSettings = QMap<QString, QVariantMap>;
Q_DECLARE_METATYPE(NmSettings)

namespace obu {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettings = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfile = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDevice = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// NMDeviceState values after which a device no longer carries its connection.
constexpr uint32_t kDevicePrepare = 40;
bool deviceFalls(uint32_t state) {
    return state == 10 || state == 20 || state == 30 || state == 110 || state == 120;
}

QDBusConnection systemBus() {
    const QByteArray address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) return QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(QString::fromLocal8Bit(address),
                                         QStringLiteral("obu-system-bus"));
}

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

}  // namespace

NetworkManagerClient::NetworkManagerClient(QObject* parent)
    : NetworkManagerClient(systemBus(), parent) {}

NetworkManagerClient::NetworkManagerClient(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    qRegisterMetaType<NmActiveConnection>();
    qRegisterMetaType<NmFailure>();
    qDBusRegisterMetaType<NmSettings>();
    if (!bus_.isConnected()) {
        settled_ = true;
        return;
    }
    subscribe();
    // Whether NetworkManager is there already; the watcher tells when it comes or goes.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kService;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<bool> reply = *w;
        if (!reply.isError() && reply.value() && !present_) appear();
        checkSettled();
    });
}

NetworkManagerClient::~NetworkManagerClient() = default;

void NetworkManagerClient::subscribe() {
    watcher_ =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &NetworkManagerClient::onNameOwnerChanged);
    bus_.connect(kService, kManagerPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(onManagerPropertiesChanged(QString, QVariantMap, QStringList)));
    // Every active connection and device at once (an empty path matches any),
    // so that none of their signals is missed between learning of one and
    // subscribing to it.
    bus_.connect(kService, QString(), kActive, QStringLiteral("StateChanged"), this,
                 SLOT(onActiveStateChanged(QDBusMessage)));
    bus_.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), {kActive},
                 QString(), this, SLOT(onActivePropertiesChanged(QDBusMessage)));
    bus_.connect(kService, QString(), kDevice, QStringLiteral("StateChanged"), this,
                 SLOT(onDeviceStateChanged(QDBusMessage)));
    bus_.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), {kDevice},
                 QString(), this, SLOT(onDevicePropertiesChanged(QDBusMessage)));
    bus_.connect(kService, kSettingsPath, kSettings, QStringLiteral("NewConnection"), this,
                 SLOT(onNewConnection(QDBusObjectPath)));
    bus_.connect(kService, kSettingsPath, kSettings, QStringLiteral("ConnectionRemoved"), this,
                 SLOT(onConnectionRemoved(QDBusObjectPath)));
    bus_.connect(kService, QString(), kProfile, QStringLiteral("Updated"), this,
                 SLOT(onConnectionUpdated(QDBusMessage)));
}

void NetworkManagerClient::onNameOwnerChanged(const QString&, const QString&,
                                              const QString& newOwner) {
    if (present_) disappear();
    if (!newOwner.isEmpty()) appear();
}

void NetworkManagerClient::appear() {
    present_ = true;
    const quint64 generation = ++generation_;

    QDBusMessage list = QDBusMessage::createMethodCall(kService, kSettingsPath, kSettings,
                                                       QStringLiteral("ListConnections"));
    ++pendingProfiles_;
    auto* listing = new QDBusPendingCallWatcher(bus_.asyncCall(list), this);
    connect(listing, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != generation_) return;
                QDBusPendingReply<QList<QDBusObjectPath>> reply = *w;
                if (!reply.isError())
                    for (const QDBusObjectPath& path : reply.value()) readProfile(path.path());
                profileRequestDone();
            });

    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kManagerPath, kProperties, QStringLiteral("Get"));
    get << kService << QStringLiteral("ActiveConnections");
    auto* actives = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(actives, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != generation_) return;
                QDBusPendingReply<QDBusVariant> reply = *w;
                activesListed_ = true;
                if (!reply.isError()) setActivePaths(pathsOf(reply.value().variant()));
                checkSettled();
            });
}

void NetworkManagerClient::disappear() {
    // NetworkManager leaves its connections as they are when it stops; without
    // it nothing about them can be known, so they are no longer reported.
    present_ = false;
    activesListed_ = false;
    ++generation_;
    pendingProfiles_ = 0;
    profiles_.clear();
    actives_.clear();
    reported_.clear();
    earlyStates_.clear();
    ended_.clear();
    ownDeactivations_.clear();
    deviceReasons_.clear();
    deviceActives_.clear();
    if (available_) {
        available_ = false;
        emit availableChanged(false);
        emit profilesChanged();
    }
    checkSettled();
}

void NetworkManagerClient::checkSettled() {
    if (settled_) return;
    if (present_) {
        if (!available_ || !activesListed_) return;
        for (const NmActiveConnection& active : actives_)
            if (!loaded_.contains(active.path)) return;
    }
    settled_ = true;
    emit settled();
}

void NetworkManagerClient::readProfile(const QString& path) {
    const quint64 generation = generation_;
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, path, kProfile, QStringLiteral("GetSettings"));
    ++pendingProfiles_;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(
        call, &QDBusPendingCallWatcher::finished, this,
        [this, generation, path](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (generation != generation_) return;
            QDBusPendingReply<NmSettings> reply = *w;
            if (!reply.isError()) {
                const QVariantMap connection = reply.value().value(QStringLiteral("connection"));
                profiles_[path] = NmProfile{path, connection.value(QStringLiteral("id")).toString(),
                                            connection.value(QStringLiteral("uuid")).toString(),
                                            connection.value(QStringLiteral("type")).toString()};
            } else {
                profiles_.remove(path);  // removed while being read
            }
            profileRequestDone();
        });
}

void NetworkManagerClient::profileRequestDone() {
    if (--pendingProfiles_ > 0) return;
    if (!available_) {
        available_ = true;
        emit availableChanged(true);
    }
    emit profilesChanged();
    checkSettled();
}

void NetworkManagerClient::onNewConnection(const QDBusObjectPath& path) {
    if (present_) readProfile(path.path());
}

void NetworkManagerClient::onConnectionUpdated(const QDBusMessage& message) {
    if (present_) readProfile(message.path());
}

void NetworkManagerClient::onConnectionRemoved(const QDBusObjectPath& path) {
    if (profiles_.remove(path.path()) && available_ && pendingProfiles_ == 0)
        emit profilesChanged();
}

QList<NmProfile> NetworkManagerClient::profiles() const {
    QList<NmProfile> result = profiles_.values();
    std::sort(result.begin(), result.end(),
              [](const NmProfile& a, const NmProfile& b) { return a.id < b.id; });
    return result;
}

QList<NmActiveConnection> NetworkManagerClient::activeConnections() const {
    QList<NmActiveConnection> result;
    for (const NmActiveConnection& active : actives_)
        if (loaded_.contains(active.path) && !active.id.isEmpty()) result << active;
    return result;
}

bool NetworkManagerClient::activate(const QString& id) {
    if (!available_) return false;
    const NmProfile* profile = nullptr;
    for (const NmProfile& p : profiles_)
        if (p.id == id) profile = &p;
    if (!profile) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kService,
                                                       QStringLiteral("ActivateConnection"));
    const QDBusObjectPath none(QStringLiteral("/"));
    call << QVariant::fromValue(QDBusObjectPath(profile->path)) << QVariant::fromValue(none)
         << QVariant::fromValue(none);
    const quint64 generation = generation_;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, id, profile = *profile](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != generation_) return;
                QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    emit activationFailed(id, failureFromActivationError(reply.error().name()),
                                          reply.error().message());
                    return;
                }
                const QString path = reply.value().path();
                trackActive(path);
                if (!actives_.contains(path)) return;
                // A failure quicker than reading the connection's properties
                // leaves only what this call knows of it.
                NmActiveConnection& active = actives_[path];
                if (!active.id.isEmpty()) return;
                active.profilePath = profile.path;
                active.id = profile.id;
                active.uuid = profile.uuid;
                active.type = profile.type;
                if (loaded_.contains(path))
                    setActiveState(active, active.state, active.activeReason);
            });
    return true;
}

bool NetworkManagerClient::deactivate(const QString& id) {
    bool any = false;
    for (const NmActiveConnection& active : actives_) {
        if (active.id != id || active.state >= NmActiveState::Deactivating) continue;
        any = true;
        const QString path = active.path;
        ownDeactivations_.insert(path);
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kService,
                                                           QStringLiteral("DeactivateConnection"));
        call << QVariant::fromValue(QDBusObjectPath(path));
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, path](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    // Refused (gone already): a later end is not this client's.
                    if (w->isError()) ownDeactivations_.remove(path);
                });
    }
    return any;
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
