#include "dialup/Call.h"

namespace obu {

Call::Call(DialUpService& service, CallId id, QString entry, CallState state, Origin origin,
           DialUpError refused)
    : m_service(service), m_id(id), m_entry(std::move(entry)), m_state(state) {
    if (refused != dialup_error::None || id == 0) {
        m_end = CallEnd::Failed;
        m_endError = refused != dialup_error::None ? refused : dialup_error::Unknown;
        return;
    }
    connect(&m_service, &DialUpService::callStateChanged, this, &Call::onStage);
    connect(&m_service, &DialUpService::callEnded, this, &Call::onEnded);
    // A call on its way up that another program (or NetworkManager itself)
    // dialled tells its stages to nobody here: its coming up is read from
    // the service when the calls change.
    if (origin == Origin::Elsewhere)
        connect(&m_service, &DialUpService::callsChanged, this, &Call::onCallsChanged);
}

void Call::onCallsChanged() {
    if (hasEnded() || m_state == CallState::Connected) return;
    CallInfo info;
    if (m_service.callStatus(m_id, &info) != dialup_error::None ||
        info.error != dialup_error::None || info.state != CallState::Connected)
        return;
    m_state = CallState::Connected;
    emit connected();
}

Call::~Call() = default;

DialUpError Call::hangUp() {
    if (hasEnded()) return dialup_error::None;
    m_end = CallEnd::HungUpHere;
    disconnect(&m_service, nullptr, this, nullptr);
    return m_service.hangUp(m_id);
}

void Call::checkStillThere() {
    if (hasEnded()) return;
    CallInfo info;
    const DialUpError result = m_service.callStatus(m_id, &info);
    if (result == dialup_error::InvalidCall)
        onEnded(m_id, dialup_error::RemoteDisconnection);
    else if (result == dialup_error::None && info.error != dialup_error::None)
        onEnded(m_id, info.error);
}

void Call::onStage(CallId id, CallState state, DialUpError error) {
    if (id != m_id || hasEnded()) return;
    if (error == dialup_error::ServiceGone) {
        finish(CallEnd::ServiceGone, error);
        return;
    }
    if (error != dialup_error::None) {
        finish(m_state == CallState::Connected ? CallEnd::Dropped : CallEnd::Failed, error);
        return;
    }
    if (state == CallState::Disconnected) {
        finish(m_state == CallState::Connected ? CallEnd::Dropped : CallEnd::Failed,
               dialup_error::Disconnection);
        return;
    }
    // Once up (seen in the list of calls, say), later stages are old news.
    if (m_state == CallState::Connected) return;
    m_state = state;
    if (state == CallState::Connected)
        emit connected();
    else
        emit stageReached(state);
}

void Call::onEnded(CallId id, DialUpError error) {
    if (id != m_id || hasEnded()) return;
    if (error == dialup_error::LimitReached) {
        finish(CallEnd::LimitReached, error);
    } else if (error == dialup_error::ServiceGone) {
        finish(CallEnd::ServiceGone, error);
    } else if (m_state == CallState::Connected) {
        // Hung up by another program, or dropped by the far end.
        finish(CallEnd::Dropped,
               error != dialup_error::None ? error : dialup_error::RemoteDisconnection);
    } else {
        finish(CallEnd::Failed, error != dialup_error::None ? error : dialup_error::Disconnection);
    }
}

void Call::finish(CallEnd how, DialUpError error) {
    m_end = how;
    m_endError = error;
    disconnect(&m_service, nullptr, this, nullptr);
    if (how != CallEnd::ServiceGone) {
        m_endDetail = m_service.failureDetail(m_id);
        // What the service keeps of an ended call is no use to anybody now;
        // a live call that took the same id meanwhile is left alone.
        m_service.forget(m_id);
    }
    emit ended(how, error);
}

}  // namespace obu
