#include "dialup/networkmanager/NetworkManagerReasons.h"

#include <cstddef>

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

namespace {

// NMDeviceStateReason, by its number, in words a user can act on.
constexpr const char* kDeviceReasonWords[] = {
    nullptr,  // 0 none
    nullptr,  // 1 unknown
    nullptr,  // 2 now managed
    "the link was taken from NetworkManager or vanished",
    "the device could not be configured",
    "no IP configuration could be had",
    "the IP configuration expired",
    "the secrets (password, PIN) are missing",
    "the authentication supplicant disconnected",
    "the authentication supplicant could not be configured",
    "the authentication supplicant failed",
    "the authentication supplicant timed out",
    "pppd failed to start",
    "pppd disconnected",
    "pppd failed",
    "DHCP failed to start",
    "DHCP had an error",
    "DHCP failed",
    "the shared connection failed to start",
    "the shared connection failed",
    "AutoIP failed to start",
    "AutoIP had an error",
    "AutoIP failed",
    "the modem found the line busy",
    "the modem found no dial tone",
    "the modem found no carrier",
    "the modem's dial timed out",
    "the modem's dial failed",
    "the modem could not be initialized",
    "the access point name (APN) was refused",
    "the modem is not searching for a network",
    "the network refused the modem's registration",
    "the modem's registration timed out",
    "the modem's registration failed",
    "the PIN check failed",
    "the device's firmware is missing",
    "the device was removed",
    "the machine went to sleep",
    "the connection's profile was removed",
    "another program took it down",
    "the carrier was lost",
    nullptr,  // 41 connection assumed
    nullptr,  // 42 supplicant available
    "the modem was not found",
    "the Bluetooth connection failed",
    "no SIM card is inserted",
    "the SIM card needs its PIN",
    "the SIM card needs its PUK",
    "the SIM card is the wrong one",
    "the InfiniBand mode is not supported",
    "a connection it depends on failed",
    "the BR2684 bridge failed",
    "ModemManager is not running",
    "the wireless network was not found",
    "a secondary connection failed",
    "DCB or FCoE setup failed",
    "teamd control failed",
    "the modem failed",
    nullptr,  // 58 modem available
    "the SIM PIN is incorrect",
    "a new activation replaced it",
    "its parent device changed",
    "its parent device's management changed",
    "Open vSwitch failed",
    "its IP address is used by another host",
    "the IP method is not supported",
    "SR-IOV configuration failed",
    "the peer was not found",
};

// NMActiveConnectionStateReason: coarser, and the only one a VPN has.
constexpr const char* kActiveReasonWords[] = {

    nullptr,  // 0 unknown
    nullptr,  // 1 none
    "another program took it down",
    "its device disconnected",
    "the VPN service stopped",
    "the IP configuration was invalid",
    "it took too long to come up",
    "the VPN service took too long to start",
    "the VPN service failed to start",
    "the secrets (password, PIN) are missing",
    "the login failed",
    "the connection's profile was removed",
    "a connection it depends on failed",
    "its device could not be made",
    "its device was removed",
};

template <std::size_t N>
const char* wordsFor(const char* const (&table)[N], uint32_t reason) {
    return reason < N ? table[reason] : nullptr;
}

}  // namespace

QString reasonInWords(uint32_t activeReason, uint32_t deviceReason) {
    // The device's reason says why where the active connection's only says
    // "device disconnected"; NetworkManager's own numbers stay beside the words.
    const char* device = wordsFor(kDeviceReasonWords, deviceReason);
    const char* active = wordsFor(kActiveReasonWords, activeReason);
    if (device && (activeReason == 3 || !active))
        return QStringLiteral("%1 (device reason %2)").arg(QLatin1String(device)).arg(deviceReason);
    if (active)
        return QStringLiteral("%1 (reason %2)").arg(QLatin1String(active)).arg(activeReason);
    if (deviceReason > 1) return QStringLiteral("device reason %1").arg(deviceReason);
    return QStringLiteral("no reason given");
}

}  // namespace obu
