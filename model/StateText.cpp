#include "model/StateText.h"

namespace obu {

QString StateText(RasApi& ras, DWORD state, DWORD error) {
    if (error != 0) {
        char buffer[100] = {};
        ras.RasGetErrorStringA(error, buffer, sizeof buffer);
        buffer[sizeof buffer - 1] = 0;
        return QString::fromLatin1(buffer);
    }
    switch (state) {
        case RASCS_OpenPort:
            return QStringLiteral("Opening port...");
        case RASCS_PortOpened:
            return QStringLiteral("Port opened.");
        case RASCS_ConnectDevice:
            return QStringLiteral("Connecting device...");
        case RASCS_DeviceConnected:
            return QStringLiteral("Device connected.");
        case RASCS_AllDevicesConnected:
            return QStringLiteral("All devices connected.");
        case RASCS_Authenticate:
            return QStringLiteral("Starting to authenticate...");
        case RASCS_AuthNotify:
            return QStringLiteral("Authentication: notify");
        case RASCS_AuthRetry:
            return QStringLiteral("Authentication: retry");
        case RASCS_AuthCallback:
            return QStringLiteral("Authentication: callback");
        case RASCS_AuthChangePassword:
            return QStringLiteral("Authentication: change password");
        case RASCS_AuthProject:
            return QStringLiteral("Authentication: projecting");
        case RASCS_AuthLinkSpeed:
            return QStringLiteral("Authentication: link speed");
        case RASCS_AuthAck:
            return QStringLiteral("Authentication: acknowledge");
        case RASCS_ReAuthenticate:
            return QStringLiteral("Authentication: reauthenticate");
        case RASCS_Authenticated:
            return QStringLiteral("Authenticated.");
        case RASCS_PrepareForCallback:
            return QStringLiteral("Preparing for callback...");
        case RASCS_WaitForModemReset:
            return QStringLiteral("Waiting for modem to reset...");
        case RASCS_WaitForCallback:
            return QStringLiteral("Waiting for callback...");
        case RASCS_Projected:
            return QStringLiteral("Projected.");
        case RASCS_StartAuthentication:
            return QStringLiteral("Starting authentication...");
        case RASCS_CallbackComplete:
            return QStringLiteral("Callback complete.");
        case RASCS_LogonNetwork:
            return QStringLiteral("Logging on network...");
        case RASCS_Interactive:
            return QStringLiteral("Interactive...");
        case RASCS_RetryAuthentication:
            return QStringLiteral("Retry Authentication...");
        case RASCS_CallbackSetByCaller:
            return QStringLiteral("Callback set by caller.");
        case RASCS_PasswordExpired:
            return QStringLiteral("Password expired.");
        case RASCS_Connected:
            return QStringLiteral("Connected.");
        case RASCS_Disconnected:
            return QStringLiteral("Disconnected.");
        default:
            return {};
    }
}

}  // namespace obu
