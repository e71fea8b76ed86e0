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
    : QObject(parent), m_bus(bus) {
    qRegisterMetaType<NmActiveConnection>();
    qRegisterMetaType<NmFailure>();
    qDBusRegisterMetaType<NmSettings>();
    if (!m_bus.isConnected()) {
        m_settled = true;
        m_caughtUp = true;
        return;
    }
    subscribe();
    // Whether NetworkManager is there already; the watcher tells when it comes or goes.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kService;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<bool> reply = *w;
        if (!reply.isError() && reply.value() && !m_present) appear();
        checkSettled();
    });
}

NetworkManagerClient::~NetworkManagerClient() = default;

void NetworkManagerClient::subscribe() {
    m_watcher =
        new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &NetworkManagerClient::onNameOwnerChanged);
    m_bus.connect(kService, kManagerPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onManagerPropertiesChanged(QString, QVariantMap, QStringList)));
    // Every active connection and device at once (an empty path matches any),
    // so that none of their signals is missed between learning of one and
    // subscribing to it.
    m_bus.connect(kService, QString(), kActive, QStringLiteral("StateChanged"), this,
                  SLOT(onActiveStateChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), {kActive},
                  QString(), this, SLOT(onActivePropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kDevice, QStringLiteral("StateChanged"), this,
                  SLOT(onDeviceStateChanged(QDBusMessage)));
    m_bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), {kDevice},
                  QString(), this, SLOT(onDevicePropertiesChanged(QDBusMessage)));
    m_bus.connect(kService, kSettingsPath, kSettings, QStringLiteral("NewConnection"), this,
                  SLOT(onNewConnection(QDBusObjectPath)));
    m_bus.connect(kService, kSettingsPath, kSettings, QStringLiteral("ConnectionRemoved"), this,
                  SLOT(onConnectionRemoved(QDBusObjectPath)));
    m_bus.connect(kService, QString(), kProfile, QStringLiteral("Updated"), this,
                  SLOT(onConnectionUpdated(QDBusMessage)));
}

void NetworkManagerClient::onNameOwnerChanged(const QString&, const QString&,
                                              const QString& newOwner) {
    if (m_present) disappear();
    if (!newOwner.isEmpty()) appear();
}

void NetworkManagerClient::appear() {
    m_present = true;
    const quint64 generation = ++m_generation;

    QDBusMessage list = QDBusMessage::createMethodCall(kService, kSettingsPath, kSettings,
                                                       QStringLiteral("ListConnections"));
    ++m_pendingProfiles;
    auto* listing = new QDBusPendingCallWatcher(m_bus.asyncCall(list), this);
    connect(listing, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != m_generation) return;
                QDBusPendingReply<QList<QDBusObjectPath>> reply = *w;
                if (!reply.isError())
                    for (const QDBusObjectPath& path : reply.value()) readProfile(path.path());
                profileRequestDone();
            });

    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kManagerPath, kProperties, QStringLiteral("Get"));
    get << kService << QStringLiteral("ActiveConnections");
    auto* actives = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(actives, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != m_generation) return;
                QDBusPendingReply<QDBusVariant> reply = *w;
                m_activesListed = true;
                if (!reply.isError()) setActivePaths(pathsOf(reply.value().variant()));
                checkSettled();
            });
}

void NetworkManagerClient::disappear() {
    // NetworkManager leaves its connections as they are when it stops; without
    // it nothing about them can be known, so they are no longer reported.
    m_present = false;
    m_activesListed = false;
    ++m_generation;
    // Gone is not the same as never there: whoever kept one of its
    // connections waits until it is back and has said what it has.
    if (m_caughtUp) {
        m_caughtUp = false;
        emit caughtUpChanged(false);
    }
    m_pendingProfiles = 0;
    m_profiles.clear();
    m_actives.clear();
    m_reported.clear();
    m_earlyStates.clear();
    m_ended.clear();
    m_ownDeactivations.clear();
    m_deviceReasons.clear();
    m_deviceActives.clear();
    if (m_available) {
        m_available = false;
        emit availableChanged(false);
        emit profilesChanged();
    }
    checkSettled();
}

void NetworkManagerClient::checkSettled() {
    bool caughtUp = true;
    if (m_present) {
        caughtUp = m_available && m_activesListed;
        for (const NmActiveConnection& active : m_actives)
            if (caughtUp && !m_loaded.contains(active.path)) caughtUp = false;
    }
    if (caughtUp != m_caughtUp) {
        m_caughtUp = caughtUp;
        emit caughtUpChanged(caughtUp);
    }
    if (m_settled || !caughtUp) return;
    m_settled = true;
    emit settled();
}

void NetworkManagerClient::readProfile(const QString& path) {
    const quint64 generation = m_generation;
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, path, kProfile, QStringLiteral("GetSettings"));
    ++m_pendingProfiles;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, path](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != m_generation) return;
                QDBusPendingReply<NmSettings> reply = *w;
                if (!reply.isError()) {
                    m_profiles[path] = profileOf(path, reply.value());
                } else {
                    m_profiles.remove(path);  // removed while being read
                }
                profileRequestDone();
            });
}

void NetworkManagerClient::profileRequestDone() {
    if (--m_pendingProfiles > 0) return;
    if (!m_available) {
        m_available = true;
        emit availableChanged(true);
    }
    emit profilesChanged();
    checkSettled();
}

void NetworkManagerClient::onNewConnection(const QDBusObjectPath& path) {
    if (m_present) readProfile(path.path());
}

void NetworkManagerClient::onConnectionUpdated(const QDBusMessage& message) {
    if (m_present) readProfile(message.path());
}

void NetworkManagerClient::onConnectionRemoved(const QDBusObjectPath& path) {
    if (m_profiles.remove(path.path()) && m_available && m_pendingProfiles == 0)
        emit profilesChanged();
}

QList<NmProfile> NetworkManagerClient::profiles() const {
    QList<NmProfile> result = m_profiles.values();
    std::sort(result.begin(), result.end(),
              [](const NmProfile& a, const NmProfile& b) { return a.id < b.id; });
    return result;
}

bool NetworkManagerClient::activate(const QString& id) {
    if (!m_available) return false;
    const NmProfile* profile = nullptr;
    for (const NmProfile& p : m_profiles)
        if (p.id == id) profile = &p;
    if (!profile) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kService,
                                                       QStringLiteral("ActivateConnection"));
    const QDBusObjectPath none(QStringLiteral("/"));
    call << QVariant::fromValue(QDBusObjectPath(profile->path)) << QVariant::fromValue(none)
         << QVariant::fromValue(none);
    const quint64 generation = m_generation;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, id, profile = *profile](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != m_generation) return;
                QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    emit activationFailed(id, failureFromActivationError(reply.error().name()),
                                          reply.error().message());
                    return;
                }
                const QString path = reply.value().path();
                trackActive(path);
                if (!m_actives.contains(path)) return;
                // A failure quicker than reading the connection's properties
                // leaves only what this call knows of it.
                NmActiveConnection& active = m_actives[path];
                if (!active.id.isEmpty()) return;
                active.profilePath = profile.path;
                active.id = profile.id;
                active.uuid = profile.uuid;
                active.type = profile.type;
                if (m_loaded.contains(path))
                    setActiveState(active, active.state, active.activeReason);
            });
    return true;
}

bool NetworkManagerClient::deactivate(const QString& id) {
    bool any = false;
    for (const NmActiveConnection& active : m_actives) {
        if (active.id != id || active.state >= NmActiveState::Deactivating) continue;
        any = true;
        const QString path = active.path;
        m_ownDeactivations.insert(path);
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kService,
                                                           QStringLiteral("DeactivateConnection"));
        call << QVariant::fromValue(QDBusObjectPath(path));
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, path](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    // Refused (gone already): a later end is not this client's.
                    if (w->isError()) m_ownDeactivations.remove(path);
                });
    }
    return any;
}

}  // namespace obu
