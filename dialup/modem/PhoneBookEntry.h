#pragma once
#include <QByteArray>

namespace obu {

// How the simulated far end of an entry ends a call that does not connect.
enum class LineFailure {
    None,
    Busy,        // 676 when the modem dials
    NoDialTone,  // 680 when the modem dials
    NoAnswer,    // 678 when the modem dials
    NoCarrier,   // 679 when the modem dials
    ModemError,  // 651 when the modem dials
    Login,       // 691: the server rejects every login
    LineDrop,    // 619: the line drops while the server authenticates
    PppTimeout,  // 718: the server stops answering while the link is set up
};

// The longest texts that a phone book gives, in characters; longer ones are
// cut. Names and devices show in lists and on the status line at these lengths.
inline constexpr int kMaxEntryName = 256;
inline constexpr int kMaxPhoneNumber = 128;
inline constexpr int kMaxDeviceName = 128;
inline constexpr int kMaxDeviceType = 16;
inline constexpr int kMaxAccountText = 256;

// One section of a phone book. Text fields are single-byte (Latin-1), cut to
// the limits above.
struct PhoneBookEntry {
    QByteArray name;
    QByteArray phoneNumber;
    QByteArray device = QByteArrayLiteral("Simulated Modem");
    QByteArray deviceType = QByteArrayLiteral("modem");
    // The simulated modem's timing, in milliseconds.
    int portDelayMs = 300;
    int dialDelayMs = 2500;
    int authDelayMs = 1000;
    int projectDelayMs = 500;
    // The far end: busy this many calls in a row before it answers, a fixed
    // failure, the account it accepts (empty: any), and the provider hanging up
    // this many seconds after the connection is made (0: never).
    int busyCount = 0;
    LineFailure failure = LineFailure::None;
    QByteArray acceptUser;
    QByteArray acceptPassword;
    int dropAfterSeconds = 0;

    // A real modem (Device= names a serial device such as /dev/ttyUSB0): the
    // port's speed and flow control, the modem's init string, the dial command,
    // how long the far end may take to answer, and the options of pppd.
    int speed = 115200;
    bool hardwareFlow = true;
    QByteArray initString;
    QByteArray dialPrefix = QByteArrayLiteral("ATDT");
    bool waitForDialTone = true;  // ATX4; false: ATX3 (dials without a dial tone)
    int dialTimeoutSeconds = 60;
    QByteArray pppOptions = QByteArrayLiteral("noipdefault defaultroute usepeerdns");
    QByteArray pppPeer;  // pppd's "call" file under /etc/ppp/peers

    // Device= names a serial device (a path); any other name is an emulated
    // modem that the service starts for the call.
    bool serialDevice() const { return device.startsWith('/'); }
};

}  // namespace obu
