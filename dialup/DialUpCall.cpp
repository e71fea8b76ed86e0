#include "dialup/DialUpCall.h"

namespace obu {

DialUpCall::DialUpCall(DialUpService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    connect(&m_service, &DialUpService::callStateChanged, this, &DialUpCall::onStage);
}

DialUpCall::~DialUpCall() = default;

void DialUpCall::setPhoneBookPath(const QString& value) {
    m_phoneBookPath = value;
    refreshEntryList();
}

DialUpError DialUpCall::dial() {
    if (m_call != 0) hangUpSilently();
    DialRequest request;
    request.entry = m_entryName;
    request.userName = m_userName;
    request.password = m_password;
    request.phoneBook = m_phoneBookPath;
    CallId call = 0;
    m_lastError = m_service.dial(request, &call);
    // The copy of the password does not stay in memory longer than the call needs it.
    request.password.fill(QLatin1Char('\0'));
    m_call = call;
    return m_lastError;
}

DialUpError DialUpCall::hangUpSilently() {
    const DialUpError result = m_call != 0 ? m_service.hangUp(m_call) : dialup_error::None;
    m_call = 0;
    m_lastError = result;
    return result;
}

DialUpError DialUpCall::hangUp() {
    const DialUpError result = hangUpSilently();
    emit disconnected();
    return result;
}

void DialUpCall::refreshStatus() {
    CallInfo status;
    m_lastError = m_service.callStatus(m_call, &status);
    if (m_lastError != dialup_error::None) return;
    m_state = status.state;
    m_lastError = status.error;
}

DialUpError DialUpCall::refreshEntryList() {
    m_entryList.clear();
    QList<EntryInfo> entries;
    m_lastError = m_service.entries(m_phoneBookPath, &entries);
    if (m_lastError != dialup_error::None) return m_lastError;
    for (const EntryInfo& entry : entries) {
        if (m_entryList.size() == kMaxEntries) break;
        if (!entry.name.isEmpty()) m_entryList.append(entry.name);
    }
    return m_lastError;
}

QString DialUpCall::errorText(DialUpError code) const {
    const QString text = m_service.errorText(code);
    return text.isEmpty() ? QStringLiteral("Status Unknown") : text;
}

void DialUpCall::onStage(CallId call, CallState state, DialUpError error) {
    if (call == 0 || call != m_call) return;
    if (error != 0) {
        m_lastError = error;
        refreshStatus();
        emit failed(error, errorText(error));
        return;
    }
    m_state = state;
    if (state == CallState::Disconnected)
        emit disconnected();
    else if (state == CallState::Connected)
        emit connected();
    else
        emit stageReached(state);
    // A receiver may have hung up meanwhile.
    if (m_call != 0) refreshStatus();
}

}  // namespace obu
