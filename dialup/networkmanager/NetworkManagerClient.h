#pragma once
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include "dialup/networkmanager/NetworkManagerReasons.h"

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace obu {

// A connection profile that NetworkManager keeps.
struct NmProfile {
    QString path;  // its settings object
    QString id;    // the name a user gives it
    QString uuid;
    QString type;  // "pppoe", "gsm", "vpn", "802-3-ethernet", …
};

// NMActiveConnectionState.
enum class NmActiveState {
    Unknown = 0,
    Activating = 1,
    Activated = 2,
    Deactivating = 3,
    Deactivated = 4
};

// A profile being activated, active or going down.
struct NmActiveConnection {
    QString path;  // the active connection's object
    QString profilePath;
    QString id;
    QString uuid;
    QString type;
    NmActiveState state = NmActiveState::Unknown;
    uint32_t activeReason = 0;       // NMActiveConnectionStateReason of the last change
    uint32_t deviceReason = 0;       // NMDeviceStateReason of its device's fall, 0: none seen
    bool wasActivated = false;       // it came up: its end is a drop, not a failed dial
    bool endedByThisClient = false;  // deactivated because this client asked for it
    QList<QString> devices;

    NmFailure failure() const { return failureFromReasons(activeReason, deviceReason); }
};

// NetworkManager's profiles and active connections over its D-Bus API, on the
// system bus (DBUS_SYSTEM_BUS_ADDRESS when set). Everything it knows comes from
// NetworkManager's signals and the answers to its own calls: nothing is
// polled, and no call to NetworkManager blocks. Without a bus or without
// NetworkManager it says nothing and is not available; it becomes available
// when NetworkManager appears.
class NetworkManagerClient : public QObject {
    Q_OBJECT
public:
    explicit NetworkManagerClient(QObject* parent = nullptr);
    // On a bus of the caller's choosing.
    NetworkManagerClient(const QDBusConnection& bus, QObject* parent = nullptr);
    ~NetworkManagerClient() override;

    // NetworkManager is on the bus and the profiles it listed have been read
    // (a starting NetworkManager may list more as it loads them).
    bool available() const { return m_available; }
    // What NetworkManager had when this client started has been read, its
    // profiles and its active connections; or there is no NetworkManager (or
    // no bus) to read. A short-lived caller waits for settled before it lists.
    bool isSettled() const { return m_settled; }
    // What NetworkManager has now has been read. False from the moment it
    // leaves the bus (a restart) until it is back and read again; true
    // without a bus or when it never was there.
    bool isCaughtUp() const { return m_caughtUp; }
    QList<NmProfile> profiles() const;
    QList<NmActiveConnection> activeConnections() const;

    // Activates the profile of this id. False when no such profile is known;
    // a refusal comes later as activationFailed, the progress as
    // activeConnectionChanged.
    bool activate(const QString& id);
    // Deactivates every active connection of the profile of this id; their
    // ends are reported as ended by this client. False when none is active.
    bool deactivate(const QString& id);

signals:
    void availableChanged(bool available);
    // Once, when isSettled() turns true.
    void settled();
    void caughtUpChanged(bool caughtUp);
    void profilesChanged();
    // Each state an active connection reaches, once; a Deactivated one is then forgotten.
    void activeConnectionChanged(const obu::NmActiveConnection& connection);
    // NetworkManager refused to start activating the profile.
    void activationFailed(const QString& id, obu::NmFailure failure, const QString& message);

private slots:
    void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void onManagerPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);
    void onActivePropertiesChanged(const QDBusMessage& message);
    void onActiveStateChanged(const QDBusMessage& message);
    void onDeviceStateChanged(const QDBusMessage& message);
    void onDevicePropertiesChanged(const QDBusMessage& message);
    void onNewConnection(const QDBusObjectPath& path);
    void onConnectionRemoved(const QDBusObjectPath& path);
    void onConnectionUpdated(const QDBusMessage& message);

private:
    void subscribe();
    void appear();
    void disappear();
    void readProfile(const QString& path);
    void profileRequestDone();
    void trackActive(const QString& path);
    void applyActiveProperties(const QString& path, const QVariantMap& properties);
    void setActiveState(NmActiveConnection& active, NmActiveState state, uint32_t reason);
    void forgetActive(const QString& path);
    void setActivePaths(const QStringList& paths);
    void checkSettled();

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_available = false;
    bool m_present = false;  // NetworkManager owns its name
    bool m_settled = false;
    bool m_caughtUp = false;
    bool m_activesListed = false;  // the first answer about the active connections came
    int m_pendingProfiles = 0;
    QHash<QString, NmProfile> m_profiles;          // by settings path
    QHash<QString, NmActiveConnection> m_actives;  // by active path
    QSet<QString> m_loaded;  // actives whose properties have been read: they are reported
    QHash<QString, NmActiveState> m_reported;  // the last state told of each
    // States signalled before an active's properties were read, with their reasons.
    QHash<QString, QList<std::pair<NmActiveState, uint32_t>>> m_earlyStates;
    QSet<QString> m_ended;  // deactivated and forgotten: NetworkManager never reuses a path
    QSet<QString> m_ownDeactivations;          // active paths this client asked to end
    QHash<QString, uint32_t> m_deviceReasons;  // device path → reason of its last fall
    QHash<QString, QString> m_deviceActives;   // device path → the last active connection on it
    quint64 m_generation = 0;  // answers to calls made before NetworkManager left are dropped
};

}  // namespace obu

Q_DECLARE_METATYPE(obu::NmActiveConnection)
