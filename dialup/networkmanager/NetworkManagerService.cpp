#include "dialup/networkmanager/NetworkManagerService.h"

#include <QMetaObject>
#include <algorithm>

namespace obu {

namespace {

// FNV-1a: the same number in every process, unlike Qt's seeded hashes.
std::uint32_t stableHash(const QString& text) {
    std::uint32_t hash = 2166136261u;
    for (const char c : text.toUtf8()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

CallId idFromHash(std::uint32_t hash) {
    return NetworkManagerService::kIdBit | (hash & ~NetworkManagerService::kIdBit);
}

}  // namespace

const QString NetworkManagerService::kSource = QStringLiteral("NetworkManager");

NetworkManagerService::NetworkManagerService(bool allProfiles, QObject* parent)
    : NetworkManagerService(new NetworkManagerClient, allProfiles, parent) {
    m_client->setParent(this);
}

NetworkManagerService::NetworkManagerService(NetworkManagerClient* client, bool allProfiles,
                                             QObject* parent)
    : DialUpService(parent), m_client(client), m_allProfiles(allProfiles) {
    connect(m_client, &NetworkManagerClient::activeConnectionChanged, this,
            &NetworkManagerService::onActiveConnectionChanged);
    connect(m_client, &NetworkManagerClient::activationFailed, this,
            &NetworkManagerService::onActivationFailed);
    connect(m_client, &NetworkManagerClient::profilesChanged, this,
            &NetworkManagerService::onProfilesChanged);
    connect(m_client, &NetworkManagerClient::settled, this, &NetworkManagerService::settled);
    connect(m_client, &NetworkManagerClient::caughtUpChanged, this,
            [this] { tell({Note::SourcesChanged}); });
    connect(m_client, &NetworkManagerClient::availableChanged, this, [this](bool available) {
        if (available) return;
        m_retired.clear();
        m_dropped.clear();
        // Without NetworkManager nothing can be known of its connections:
        // they are not dropped (NetworkManager leaves them as they are when
        // it stops), but lost to whoever follows them until it is back.
        for (const CallId id : m_calls.keys())
            end(id, m_calls[id].hangingUp ? dialup_error::None : dialup_error::ServiceGone, {});
    });
}

NetworkManagerService::~NetworkManagerService() = default;

bool NetworkManagerService::wantsAllProfiles() {
    return qEnvironmentVariable("OBU_NM_ALL_PROFILES") == QLatin1String("1");
}

bool NetworkManagerService::dialledType(const QString& type) {
    static const QStringList kinds = {QStringLiteral("gsm"),   QStringLiteral("cdma"),
                                      QStringLiteral("pppoe"), QStringLiteral("bluetooth"),
                                      QStringLiteral("vpn"),   QStringLiteral("wireguard")};
    return kinds.contains(type);
}

bool NetworkManagerService::isEntry(const NmProfile& profile) const {
    return isEntryType(profile.type);
}

bool NetworkManagerService::isEntryType(const QString& type) const {
    // The loopback link is always up and no line to keep.
    return dialledType(type) || (m_allProfiles && type != QLatin1String("loopback"));
}

std::optional<NmProfile> NetworkManagerService::profileNamed(const QString& name) const {
    // The exact name first; else one that differs only in case, as the
    // phone book's names are compared.
    std::optional<NmProfile> loose;
    for (const NmProfile& profile : m_client->profiles()) {
        if (!isEntry(profile)) continue;
        if (profile.id == name) return profile;
        if (!loose && profile.id.compare(name, Qt::CaseInsensitive) == 0) loose = profile;
    }
    return loose;
}

void NetworkManagerService::reassignIds() {
    // Two profiles whose numbers meet: the one of the smaller uuid keeps its
    // number, the other takes the next free one. Every process sees the same
    // profiles, so every process gives the same ids.
    QList<NmProfile> profiles = m_client->profiles();
    std::sort(profiles.begin(), profiles.end(),
              [](const NmProfile& a, const NmProfile& b) { return a.uuid < b.uuid; });
    QHash<QString, CallId> ids;
    QSet<CallId> taken;
    for (const NmProfile& profile : profiles) {
        CallId id = idFromHash(stableHash(profile.uuid));
        while (taken.contains(id)) id = idFromHash(id + 1);
        taken.insert(id);
        ids.insert(profile.uuid, id);
    }
    m_ids = ids;
}

CallId NetworkManagerService::idOf(const QString& uuid) const {
    return m_ids.value(uuid, idFromHash(stableHash(uuid)));
}

void NetworkManagerService::onProfilesChanged() {
    reassignIds();
    emit entriesChanged();
}

DialUpError NetworkManagerService::entries(const QString&, QList<EntryInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    out->clear();
    if (!m_client->available()) return dialup_error::None;
    QSet<QString> seen;
    for (const NmProfile& profile : m_client->profiles()) {
        // Two profiles of one name are one entry: a dial could not tell them apart.
        if (!isEntry(profile) || profile.id.isEmpty() || seen.contains(profile.id)) continue;
        seen.insert(profile.id);
        out->append(EntryInfo{profile.id, kSource});
    }
    return dialup_error::None;
}

DialUpError NetworkManagerService::dial(const DialRequest& request, CallId* id) {
    if (id) *id = 0;
    if (!id) return dialup_error::InvalidParameter;
    const std::optional<NmProfile> profile =
        m_client->available() ? profileNamed(request.entry) : std::nullopt;
    if (!profile) return dialup_error::CannotFindEntry;
    const CallId callId = idOf(profile->uuid);
    m_ended.remove(callId);
    const auto live = m_calls.find(callId);
    // Hung up before NetworkManager had named it: its activation goes on
    // after all, rather than being taken down and started again.
    if (live != m_calls.end() && live->hangingUp && !live->activeSeen) live->hangingUp = false;
    if (live != m_calls.end() && !live->hangingUp) {
        // Already coming up or up (NetworkManager's own reconnect, another
        // program): this dial follows it rather than tearing it down, and its
        // caller hears the stages it has passed.
        live->dialledHere = true;
        *id = callId;
        const CallState reached = live->info.state;
        for (const CallState stage :
             {CallState::OpenPort, CallState::PortOpened, CallState::ConnectDevice,
              CallState::DeviceConnected, CallState::Connected}) {
            if (static_cast<std::uint32_t>(stage) > static_cast<std::uint32_t>(reached)) break;
            tell({Note::Stage, callId, stage, dialup_error::None});
        }
        if (reached == CallState::Connected) live->dialledHere = false;
        return dialup_error::None;
    }
    if (!m_client->activate(profile->id)) return dialup_error::CannotFindEntry;
    Call call;
    call.info.id = callId;
    call.info.entry = profile->id;
    call.info.deviceType = profile->type;
    call.info.deviceName = kSource;
    call.info.state = CallState::OpenPort;
    call.profileId = profile->id;
    call.order = ++m_nextOrder;
    call.dialledHere = true;
    m_calls.insert(callId, call);
    *id = callId;
    tell({Note::Stage, callId, CallState::OpenPort, dialup_error::None});
    tell({Note::Changed});
    return dialup_error::None;
}

void NetworkManagerService::tell(const Note& note) {
    m_outbox.append(note);
    if (m_deliveryPosted) return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &NetworkManagerService::deliver, Qt::QueuedConnection);
}

void NetworkManagerService::deliver() {
    m_deliveryPosted = false;
    // One at a time: a receiver's hang-up takes the call's later stages away.
    while (!m_outbox.isEmpty()) {
        const Note note = m_outbox.takeFirst();
        switch (note.kind) {
            case Note::Stage:
                emit callStateChanged(note.id, note.state, note.error);
                break;
            case Note::Ended:
                emit callEnded(note.id, note.error);
                break;
            case Note::Changed:
                emit callsChanged();
                break;
            case Note::SourcesChanged:
                emit sourcesChanged();
                break;
        }
    }
}

DialUpError NetworkManagerService::hangUp(CallId id) {
    // A failed or dropped call is only forgotten: the profile may be up again
    // by now, and that is not the call being hung up.
    if (m_ended.remove(id)) return dialup_error::None;
    const auto it = m_calls.find(id);
    if (it == m_calls.end()) return dialup_error::InvalidCall;
    if (it->hangingUp) return dialup_error::None;
    it->hangingUp = true;
    it->dialledHere = false;
    m_outbox.removeIf([id](const Note& n) { return n.kind == Note::Stage && n.id == id; });
    // Still waiting for NetworkManager to name the connection: it is taken
    // down as soon as it is reported.
    if (it->activeSeen) {
        m_retired.insert(it->activePath);
        m_client->deactivate(it->profileId);
    }
    tell({Note::Changed});
    return dialup_error::None;
}

DialUpError NetworkManagerService::calls(QList<CallInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    QList<const Call*> listed;
    for (const Call& call : m_calls)
        if (!call.hangingUp) listed << &call;
    std::sort(listed.begin(), listed.end(),
              [](const Call* a, const Call* b) { return a->order < b->order; });
    out->clear();
    for (const Call* call : listed) out->append(call->info);
    return dialup_error::None;
}

DialUpError NetworkManagerService::callStatus(CallId id, CallInfo* out) {
    if (!out) return dialup_error::InvalidParameter;
    const auto it = m_calls.find(id);
    if (it != m_calls.end() && !it->hangingUp) {
        *out = it->info;
        return dialup_error::None;
    }
    const auto ended = m_ended.find(id);
    if (ended == m_ended.end()) return dialup_error::InvalidCall;
    *out = ended->info;
    return dialup_error::None;
}

void NetworkManagerService::forget(CallId id) {
    m_ended.remove(id);
}

bool NetworkManagerService::sourcesReady() const {
    return m_client->isCaughtUp();
}

QString NetworkManagerService::failureDetail(CallId id) {
    const auto ended = m_ended.find(id);
    return ended != m_ended.end() ? ended->detail : QString();
}

QString NetworkManagerService::errorText(DialUpError code) const {
    switch (code) {
        case dialup_error::InvalidParameter:
            return QStringLiteral("A value passed to the dial-up service is not valid.");
        case dialup_error::InvalidCall:
            return QStringLiteral("The connection is not known. It may have ended.");
        case dialup_error::DeviceDoesNotExist:
            return QStringLiteral("NetworkManager has no device for this connection.");
        case dialup_error::CannotFindEntry:
            return QStringLiteral("NetworkManager has no connection of this name.");
        case dialup_error::Disconnection:
            return QStringLiteral("The connection was closed.");
        case dialup_error::RemoteDisconnection:
            return QStringLiteral("The connection was closed outside this program.");
        case dialup_error::FromDevice:
            return QStringLiteral("NetworkManager could not bring the connection up.");
        case dialup_error::LineBusy:
            return QStringLiteral("The line is busy.");
        case dialup_error::NoCarrier:
            return QStringLiteral("No carrier: the remote modem did not respond.");
        case dialup_error::NoDialTone:
            return QStringLiteral("There is no dial tone.");
        case dialup_error::AuthenticationFailure:
            return QStringLiteral(
                "The connection's secrets are missing or were refused (password, PIN).");
        case dialup_error::PppTimeout:
            return QStringLiteral("The connection took too long to come up.");
        case dialup_error::ServiceGone:
            return QStringLiteral("NetworkManager is not running.");
        default:
            return {};
    }
}

}  // namespace obu
