#include "dialup/DialUpService.h"

#include "dialup/Call.h"

namespace obu {

std::unique_ptr<Call> DialUpService::dial(const DialRequest& request) {
    CallId id = 0;
    const DialUpError refused = dial(request, &id);
    return std::make_unique<Call>(*this, id, request.entry, CallState::OpenPort,
                                  Call::Origin::DialledHere, refused);
}

std::unique_ptr<Call> DialUpService::follow(const CallInfo& call) {
    return std::make_unique<Call>(*this, call.id, call.entry, call.state, Call::Origin::Elsewhere);
}

bool DialUpService::findUp(const QString& entry, CallInfo* out, bool upOnly) {
    QList<CallInfo> listed;
    if (entry.isEmpty() || calls(&listed) != dialup_error::None) return false;
    for (const CallInfo& call : listed) {
        if (call.error != dialup_error::None) continue;
        if (upOnly && call.state != CallState::Connected) continue;
        if (call.entry.compare(entry, Qt::CaseInsensitive) != 0) continue;
        if (out) *out = call;
        return true;
    }
    return false;
}

}  // namespace obu
