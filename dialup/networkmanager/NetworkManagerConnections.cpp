// Following NetworkManager's reports of its active connections: a call's
// stages, its end, and the connections of other programs that become calls.
#include "dialup/networkmanager/NetworkManagerService.h"

#include <algorithm>

namespace obu {

void NetworkManagerService::onActiveConnectionChanged(const NmActiveConnection& connection) {
    const CallId id = idOf(connection.uuid);
    if (closesToldConnection(id, connection)) return;
    const auto it = callFor(id, connection);
    if (it == m_calls.end()) return;
    if (!it->activePath.isEmpty() && it->activePath != connection.path &&
        connection.state >= NmActiveState::Deactivating)
        return;  // an older connection of the profile, going down after a newer one came
    it->activePath = connection.path;
    it->activeSeen = true;
    if (it->hangingUp) {
        // Hung up before NetworkManager had named the connection.
        m_retired.insert(connection.path);
        m_client->deactivate(it->profileId);
        return;
    }
    applyState(id, connection);
}

bool NetworkManagerService::closesToldConnection(CallId id, const NmActiveConnection& connection) {
    if (m_dropped.contains(connection.path)) {
        if (connection.state == NmActiveState::Deactivated) m_dropped.remove(connection.path);
        return true;
    }
    if (!m_retired.contains(connection.path)) return false;
    // A connection this process hung up: its end is the hang-up's, unless
    // the profile has been dialled again meanwhile (a call of its own).
    if (connection.state != NmActiveState::Deactivated) return true;
    m_retired.remove(connection.path);
    const auto it = m_calls.find(id);
    if (it != m_calls.end() && it->activePath == connection.path) end(id, dialup_error::None, {});
    return true;
}

QHash<CallId, NetworkManagerService::Call>::iterator NetworkManagerService::callFor(
    CallId id, const NmActiveConnection& connection) {
    const auto it = m_calls.find(id);
    if (it == m_calls.end()) return adoptConnection(id, connection);
    if (it->hangingUp && it->activeSeen && it->activePath != connection.path) {
        // Brought up again by another program while this one's hang-up goes
        // on: that hang-up is done with, and this is a call of its own.
        end(id, dialup_error::None, {});
        return adoptConnection(id, connection);
    }
    return it;
}

QHash<CallId, NetworkManagerService::Call>::iterator NetworkManagerService::adoptConnection(
    CallId id, const NmActiveConnection& connection) {
    // Another program's connection: a call when its profile is an entry.
    if (connection.state >= NmActiveState::Deactivating) return m_calls.end();
    const auto profiles = m_client->profiles();
    const auto profile = std::find_if(profiles.begin(), profiles.end(), [&](const NmProfile& p) {
        return p.uuid == connection.uuid;
    });
    const bool entry = profile != profiles.end() ? isEntry(*profile) : isEntryType(connection.type);
    if (!entry) return m_calls.end();
    Call call;
    call.info.id = id;
    call.info.entry = connection.id;
    call.info.deviceType = connection.type;
    call.info.deviceName = kSource;
    call.profileId = connection.id;
    call.order = ++m_nextOrder;
    const auto it = m_calls.insert(id, call);
    m_ended.remove(id);
    return it;
}

void NetworkManagerService::applyState(CallId id, const NmActiveConnection& connection) {
    const bool ownEnd = connection.endedByThisClient;
    switch (connection.state) {
        case NmActiveState::Activating:
            advance(id, CallState::PortOpened);
            advance(id, CallState::ConnectDevice);
            tell({Note::Changed});
            break;
        case NmActiveState::Activated:
            advance(id, CallState::DeviceConnected);
            advance(id, CallState::Connected);
            tell({Note::Changed});
            break;
        case NmActiveState::Deactivating:
            // A line that was up is gone as soon as it starts going down; a
            // failing dial waits for the reason that comes with its end.
            if (!ownEnd && connection.wasActivated) {
                end(id, dialup_error::RemoteDisconnection, reasonOf(connection));
                // Its own end, still to come, must not end a new dial of the profile.
                m_dropped.insert(connection.path);
            }
            break;
        case NmActiveState::Deactivated:
            if (ownEnd) {
                end(id, dialup_error::None, {});
            } else if (connection.wasActivated) {
                end(id, dialup_error::RemoteDisconnection, reasonOf(connection));
            } else {
                const DialUpError error = errorOf(connection.failure());
                // Ended by someone else before it came up.
                end(id, error == dialup_error::None ? dialup_error::Disconnection : error,
                    reasonOf(connection));
            }
            break;
        case NmActiveState::Unknown:
            break;
    }
}

QString NetworkManagerService::reasonOf(const NmActiveConnection& connection) {
    return QStringLiteral("NetworkManager: ") +
           reasonInWords(connection.activeReason, connection.deviceReason);
}

void NetworkManagerService::onActivationFailed(const QString& profileId, NmFailure failure,
                                               const QString& message) {
    for (const Call& call : m_calls) {
        if (call.profileId != profileId || call.activeSeen) continue;
        const CallId id = call.info.id;
        if (call.hangingUp) {
            end(id, dialup_error::None, {});
        } else {
            const DialUpError error = errorOf(failure);
            end(id, error == dialup_error::None ? dialup_error::FromDevice : error,
                QStringLiteral("NetworkManager: ") + message);
        }
        return;
    }
}

void NetworkManagerService::advance(CallId id, CallState state) {
    const auto it = m_calls.find(id);
    // States only move forward (Connected is the greatest of the stages).
    if (it == m_calls.end() ||
        static_cast<std::uint32_t>(state) <= static_cast<std::uint32_t>(it->info.state))
        return;
    it->info.state = state;
    if (!it->dialledHere) return;
    if (state == CallState::Connected) it->dialledHere = false;
    tell({Note::Stage, id, state, dialup_error::None});
}

void NetworkManagerService::end(CallId id, DialUpError error, const QString& detail) {
    const auto it = m_calls.find(id);
    if (it == m_calls.end()) return;
    Call call = m_calls.take(id);
    call.info.error = error;
    call.detail = detail;
    // A failed dial tells its caller at the stage it reached.
    if (error != dialup_error::None && call.dialledHere)
        tell({Note::Stage, id, call.info.state, error});
    if (error != dialup_error::None) {
        if (call.info.state == CallState::Connected) call.info.state = CallState::Disconnected;
        m_ended.insert(id, call);
    }
    tell({Note::Ended, id, call.info.state, error});
    tell({Note::Changed});
}

DialUpError NetworkManagerService::errorOf(NmFailure failure) {
    switch (failure) {
        case NmFailure::None:
            return dialup_error::None;
        case NmFailure::ModemBusy:
            return dialup_error::LineBusy;
        case NmFailure::NoDialTone:
            return dialup_error::NoDialTone;
        case NmFailure::NoCarrier:
            return dialup_error::NoCarrier;
        case NmFailure::DialTimeout:
            return dialup_error::PppTimeout;
        case NmFailure::LoginRefused:
            return dialup_error::AuthenticationFailure;
        case NmFailure::DeviceMissing:
            return dialup_error::DeviceDoesNotExist;
        case NmFailure::Other:
            break;
    }
    return dialup_error::FromDevice;
}

}  // namespace obu
