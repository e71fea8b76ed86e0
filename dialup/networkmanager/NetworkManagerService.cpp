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
    client_->setParent(this);
}

NetworkManagerService::NetworkManagerService(NetworkManagerClient* client, bool allProfiles,
                                             QObject* parent)
    : DialUpService(parent), client_(client), allProfiles_(allProfiles) {
    connect(client_, &NetworkManagerClient::activeConnectionChanged, this,
            &NetworkManagerService::onActiveConnectionChanged);
    connect(client_, &NetworkManagerClient::activationFailed, this,
            &NetworkManagerService::onActivationFailed);
    connect(client_, &NetworkManagerClient::profilesChanged, this,
            &NetworkManagerService::onProfilesChanged);
    connect(client_, &NetworkManagerClient::settled, this, &NetworkManagerService::settled);
    connect(client_, &NetworkManagerClient::caughtUpChanged, this,
            [this] { tell({Note::SourcesChanged}); });
    connect(client_, &NetworkManagerClient::availableChanged, this, [this](bool available) {
        if (available) return;
        retired_.clear();
        dropped_.clear();
        // Without NetworkManager nothing can be known of its connections:
        // they are not dropped (NetworkManager leaves them as they are when
        // it stops), but lost to whoever follows them until it is back.
        for (const CallId id : calls_.keys())
            end(id, calls_[id].hangingUp ? dialup_error::None : dialup_error::ServiceGone, {});
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
    return dialledType(type) || (allProfiles_ && type != QLatin1String("loopback"));
}

std::optional<NmProfile> NetworkManagerService::profileNamed(const QString& name) const {
    // The exact name first; else one that differs only in case, as the
    // phone book's names are compared.
    std::optional<NmProfile> loose;
    for (const NmProfile& profile : client_->profiles()) {
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
    QList<NmProfile> profiles = client_->profiles();
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
    ids_ = ids;
}

CallId NetworkManagerService::idOf(const QString& uuid) const {
    return ids_.value(uuid, idFromHash(stableHash(uuid)));
}

void NetworkManagerService::onProfilesChanged() {
    reassignIds();
    emit entriesChanged();
}

DialUpError NetworkManagerService::entries(const QString&, QList<EntryInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    out->clear();
    if (!client_->available()) return dialup_error::None;
    QSet<QString> seen;
    for (const NmProfile& profile : client_->profiles()) {
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
        client_->available() ? profileNamed(request.entry) : std::nullopt;
    if (!profile) return dialup_error::CannotFindEntry;
    const CallId callId = idOf(profile->uuid);
    ended_.remove(callId);
    const auto live = calls_.find(callId);
    // Hung up before NetworkManager had named it: its activation goes on
    // after all, rather than being taken down and started again.
    if (live != calls_.end() && live->hangingUp && !live->activeSeen) live->hangingUp = false;
    if (live != calls_.end() && !live->hangingUp) {
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
    if (!client_->activate(profile->id)) return dialup_error::CannotFindEntry;
    Call call;
    call.info.id = callId;
    call.info.entry = profile->id;
    call.info.deviceType = profile->type;
    call.info.deviceName = kSource;
    call.info.state = CallState::OpenPort;
    call.profileId = profile->id;
    call.order = ++nextOrder_;
    call.dialledHere = true;
    calls_.insert(callId, call);
    *id = callId;
    tell({Note::Stage, callId, CallState::OpenPort, dialup_error::None});
    tell({Note::Changed});
    return dialup_error::None;
}

void NetworkManagerService::tell(const Note& note) {
    outbox_.append(note);
    if (deliveryPosted_) return;
    deliveryPosted_ = true;
    QMetaObject::invokeMethod(this, &NetworkManagerService::deliver, Qt::QueuedConnection);
}

void NetworkManagerService::deliver() {
    deliveryPosted_ = false;
    // One at a time: a receiver's hang-up takes the call's later stages away.
    while (!outbox_.isEmpty()) {
        const Note note = outbox_.takeFirst();
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
    if (ended_.remove(id)) return dialup_error::None;
    const auto it = calls_.find(id);
    if (it == calls_.end()) return dialup_error::InvalidCall;
    if (it->hangingUp) return dialup_error::None;
    it->hangingUp = true;
    it->dialledHere = false;
    outbox_.removeIf([id](const Note& n) { return n.kind == Note::Stage && n.id == id; });
    // Still waiting for NetworkManager to name the connection: it is taken
    // down as soon as it is reported.
    if (it->activeSeen) {
        retired_.insert(it->activePath);
        client_->deactivate(it->profileId);
    }
    tell({Note::Changed});
    return dialup_error::None;
}

DialUpError NetworkManagerService::calls(QList<CallInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    QList<const Call*> listed;
    for (const Call& call : calls_)
        if (!call.hangingUp) listed << &call;
    std::sort(listed.begin(), listed.end(),
              [](const Call* a, const Call* b) { return a->order < b->order; });
    out->clear();
    for (const Call* call : listed) out->append(call->info);
    return dialup_error::None;
}

DialUpError NetworkManagerService::callStatus(CallId id, CallInfo* out) {
    if (!out) return dialup_error::InvalidParameter;
    const auto it = calls_.find(id);
    if (it != calls_.end() && !it->hangingUp) {
        *out = it->info;
        return dialup_error::None;
    }
    const auto ended = ended_.find(id);
    if (ended == ended_.end()) return dialup_error::InvalidCall;
    *out = ended->info;
    return dialup_error::None;
}

void NetworkManagerService::forget(CallId id) {
    ended_.remove(id);
}

bool NetworkManagerService::sourcesReady() const {
    return client_->isCaughtUp();
}

QString NetworkManagerService::failureDetail(CallId id) {
    const auto ended = ended_.find(id);
    return ended != ended_.end() ? ended->detail : QString();
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
