#include "dialup/networkmanager/NetworkManagerClient.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <algorithm>

#include "dialup/networkmanager/NetworkManagerBus.h"
#include "platform/SystemBus.h"

using NmSettings = QMap<QString, QVariantMap>;
Q_DECLARE_METATYPE(NmSettings)

namespace obu {

using namespace nm_bus;

NetworkManagerClient::NetworkManagerClient(QObject* parent)
    : NetworkManagerClient(systemBus(), parent) {}

NetworkManagerClient::NetworkManagerClient(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    qRegisterMetaType<NmActiveConnection>();
    qRegisterMetaType<NmFailure>();
    qDBusRegisterMetaType<NmSettings>();
    if (!bus_.isConnected()) {
        settled_ = true;
        caughtUp_ = true;
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
    // Gone is not the same as never there: whoever kept one of its
    // connections waits until it is back and has said what it has.
    if (caughtUp_) {
        caughtUp_ = false;
        emit caughtUpChanged(false);
    }
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
    bool caughtUp = true;
    if (present_) {
        caughtUp = available_ && activesListed_;
        for (const NmActiveConnection& active : actives_)
            if (caughtUp && !loaded_.contains(active.path)) caughtUp = false;
    }
    if (caughtUp != caughtUp_) {
        caughtUp_ = caughtUp;
        emit caughtUpChanged(caughtUp);
    }
    if (settled_ || !caughtUp) return;
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

}  // namespace obu
