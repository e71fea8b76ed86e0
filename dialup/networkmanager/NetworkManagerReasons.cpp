#include "dialup/networkmanager/NetworkManagerReasons.h"

namespace obu {

NmFailure failureFromDeviceReason(uint32_t reason) {
    switch (reason) {
        case 0:   // none
        case 2:   // now managed
        case 37:  // sleeping
        case 38:  // connection removed
        case 39:  // user requested
        case 41:  // connection assumed
        case 60:  // new activation
            return NmFailure::None;
        case 23:  // modem busy
            return NmFailure::ModemBusy;
        case 24:  // modem no dial tone
            return NmFailure::NoDialTone;
        case 25:  // modem no carrier
        case 40:  // carrier lost
            return NmFailure::NoCarrier;
        case 26:  // modem dial timeout
            return NmFailure::DialTimeout;
        case 7:   // no secrets
        case 34:  // GSM PIN check failed
        case 46:  // SIM PIN required
        case 47:  // SIM PUK required
        case 59:  // SIM PIN incorrect
            return NmFailure::LoginRefused;
        case 3:   // now unmanaged: the link vanished, or was taken from NetworkManager
        case 36:  // device removed
        case 43:  // modem not found
        case 45:  // SIM not inserted
        case 52:  // ModemManager unavailable
            return NmFailure::DeviceMissing;
        default:
            return NmFailure::Other;
    }
}

NmFailure failureFromActiveReason(uint32_t reason) {
    switch (reason) {
        case 1:   // none
        case 2:   // user disconnected
        case 11:  // connection removed
            return NmFailure::None;
        case 6:  // connect timeout
            return NmFailure::DialTimeout;
        case 9:   // no secrets
        case 10:  // login failed
            return NmFailure::LoginRefused;
        case 13:  // device realize failed
        case 14:  // device removed
            return NmFailure::DeviceMissing;
        default:
            return NmFailure::Other;
    }
}

NmFailure failureFromReasons(uint32_t activeReason, uint32_t deviceReason) {
    const NmFailure device = failureFromDeviceReason(deviceReason);
    const NmFailure active = failureFromActiveReason(activeReason);
    // "Device disconnected" hides why; the device's own reason says it.
    if (device != NmFailure::None && device != NmFailure::Other) return device;
    if (active != NmFailure::None && active != NmFailure::Other) return active;
    // 0: no device reason seen (a VPN has none of its own); 1: unknown.
    if (deviceReason > 1) return device;
    return active;
}

NmFailure failureFromActivationError(const QString& errorName) {
    // "No suitable device found" and a named device that does not exist.
    if (errorName == QLatin1String("org.freedesktop.NetworkManager.UnknownDevice") ||
        errorName == QLatin1String("org.freedesktop.NetworkManager.ConnectionNotAvailable"))
        return NmFailure::DeviceMissing;
    return NmFailure::Other;
}

const char* failureName(NmFailure failure) {
    switch (failure) {
        case NmFailure::None:
            return "none";
        case NmFailure::ModemBusy:
            return "modem busy";
        case NmFailure::NoDialTone:
            return "no dial tone";
        case NmFailure::NoCarrier:
            return "no carrier";
        case NmFailure::DialTimeout:
            return "dial timeout";
        case NmFailure::LoginRefused:
            return "login refused";
        case NmFailure::DeviceMissing:
            return "device missing";
        case NmFailure::Other:
            break;
    }
    return "other";
}

}  // namespace obu
