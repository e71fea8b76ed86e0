#pragma once
#include <QString>
#include <cstdint>

namespace obu {

// Why a NetworkManager connection failed to come up or went down, in the few
// kinds that a dialler tells its user apart: each stands for one error of the
// dial-up service.
enum class NmFailure {
    None,           // no fault: asked for, or ended by a user
    ModemBusy,      // the line was busy: redial
    NoDialTone,     //
    NoCarrier,      // no carrier, no answer, or the link's carrier lost
    DialTimeout,    // the modem or the activation took too long
    LoginRefused,   // secrets missing or refused, PIN wrong, login failed
    DeviceMissing,  // no device for the profile, or the device or modem gone
    Other,          // any other reason NetworkManager gives
};

// NetworkManager's NMDeviceStateReason: the precise reason, given by a
// device's StateChanged signal.
NmFailure failureFromDeviceReason(uint32_t reason);
// NMActiveConnectionStateReason (VPN reasons included): coarser for devices,
// the only one for VPN and the like.
NmFailure failureFromActiveReason(uint32_t reason);
// The device's reason where it says more than the active connection's.
NmFailure failureFromReasons(uint32_t activeReason, uint32_t deviceReason);
// The D-Bus error of an ActivateConnection call that NetworkManager refused.
NmFailure failureFromActivationError(const QString& errorName);

const char* failureName(NmFailure failure);
// NetworkManager's reasons in words, with its numbers beside them: "pppd
// failed (device reason 14)", "another program took it down (reason 2)".
QString reasonInWords(uint32_t activeReason, uint32_t deviceReason);

}  // namespace obu
