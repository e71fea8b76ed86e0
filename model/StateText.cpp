#include "model/StateText.h"

namespace obu {

QString StateText(const DialUpService& service, CallState state, DialUpError error) {
    if (error != 0) return service.errorText(error);
    switch (state) {
        case CallState::OpenPort:
            return QStringLiteral("Opening port...");
        case CallState::PortOpened:
            return QStringLiteral("Port opened.");
        case CallState::ConnectDevice:
            return QStringLiteral("Connecting device...");
        case CallState::DeviceConnected:
            return QStringLiteral("Device connected.");
        case CallState::AllDevicesConnected:
            return QStringLiteral("All devices connected.");
        case CallState::Authenticate:
            return QStringLiteral("Starting to authenticate...");
        case CallState::AuthNotify:
            return QStringLiteral("Authentication: notify");
        case CallState::AuthRetry:
            return QStringLiteral("Authentication: retry");
        case CallState::AuthCallback:
            return QStringLiteral("Authentication: callback");
        case CallState::AuthChangePassword:
            return QStringLiteral("Authentication: change password");
        case CallState::AuthProject:
            return QStringLiteral("Authentication: projecting");
        case CallState::AuthLinkSpeed:
            return QStringLiteral("Authentication: link speed");
        case CallState::AuthAck:
            return QStringLiteral("Authentication: acknowledge");
        case CallState::ReAuthenticate:
            return QStringLiteral("Authentication: reauthenticate");
        case CallState::Authenticated:
            return QStringLiteral("Authenticated.");
        case CallState::PrepareForCallback:
            return QStringLiteral("Preparing for callback...");
        case CallState::WaitForModemReset:
            return QStringLiteral("Waiting for modem to reset...");
        case CallState::WaitForCallback:
            return QStringLiteral("Waiting for callback...");
        case CallState::Projected:
            return QStringLiteral("Projected.");
        case CallState::StartAuthentication:
            return QStringLiteral("Starting authentication...");
        case CallState::CallbackComplete:
            return QStringLiteral("Callback complete.");
        case CallState::LogonNetwork:
            return QStringLiteral("Logging on network...");
        case CallState::Interactive:
            return QStringLiteral("Interactive...");
        case CallState::RetryAuthentication:
            return QStringLiteral("Retry Authentication...");
        case CallState::CallbackSetByCaller:
            return QStringLiteral("Callback set by caller.");
        case CallState::PasswordExpired:
            return QStringLiteral("Password expired.");
        case CallState::Connected:
            return QStringLiteral("Connected.");
        case CallState::Disconnected:
            return QStringLiteral("Disconnected.");
        default:
            return {};
    }
}

}  // namespace obu
