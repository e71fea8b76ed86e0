#include "model/StateText.h"

#include <utility>

namespace obu {

namespace {

// The status line's text for each stage of a call.
constexpr std::pair<CallState, const char*> kStateTexts[] = {
    {CallState::OpenPort, "Opening port..."},
    {CallState::PortOpened, "Port opened."},
    {CallState::ConnectDevice, "Connecting device..."},
    {CallState::DeviceConnected, "Device connected."},
    {CallState::AllDevicesConnected, "All devices connected."},
    {CallState::Authenticate, "Starting to authenticate..."},
    {CallState::AuthNotify, "Authentication: notify"},
    {CallState::AuthRetry, "Authentication: retry"},
    {CallState::AuthCallback, "Authentication: callback"},
    {CallState::AuthChangePassword, "Authentication: change password"},
    {CallState::AuthProject, "Authentication: projecting"},
    {CallState::AuthLinkSpeed, "Authentication: link speed"},
    {CallState::AuthAck, "Authentication: acknowledge"},
    {CallState::ReAuthenticate, "Authentication: reauthenticate"},
    {CallState::Authenticated, "Authenticated."},
    {CallState::PrepareForCallback, "Preparing for callback..."},
    {CallState::WaitForModemReset, "Waiting for modem to reset..."},
    {CallState::WaitForCallback, "Waiting for callback..."},
    {CallState::Projected, "Projected."},
    {CallState::StartAuthentication, "Starting authentication..."},
    {CallState::CallbackComplete, "Callback complete."},
    {CallState::LogonNetwork, "Logging on network..."},
    {CallState::Interactive, "Interactive..."},
    {CallState::RetryAuthentication, "Retry Authentication..."},
    {CallState::CallbackSetByCaller, "Callback set by caller."},
    {CallState::PasswordExpired, "Password expired."},
    {CallState::Connected, "Connected."},
    {CallState::Disconnected, "Disconnected."},
};

}  // namespace

QString stateText(const DialUpService& service, CallState state, DialUpError error) {
    if (error != 0) return service.errorText(error);
    for (const auto& [known, text] : kStateTexts)
        if (known == state) return QString::fromLatin1(text);
    return {};
}

}  // namespace obu
