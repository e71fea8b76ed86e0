#pragma once
// The dial-up service as the program sees it: the six calls of the Remote
// Access Service, its records in their published layouts, its states and its
// result codes. LineService is the Linux implementation; tests may put a
// recording fake in its place.
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "ras/NotifyTargets.h"

namespace obu {

using DWORD = std::uint32_t;
// Connection handles are 32 bits wide and mean the same in every process of
// the user (another program may hang up a handle that it enumerated).
using HRASCONN = std::uint32_t;

// Field limits, in characters, without the terminating zero.
inline constexpr int RAS_MaxEntryName = 256;
inline constexpr int RAS_MaxPhoneNumber = 128;
inline constexpr int RAS_MaxCallbackNumber = 128;
inline constexpr int RAS_MaxDeviceType = 16;
inline constexpr int RAS_MaxDeviceName = 128;
inline constexpr int UNLEN = 256;
inline constexpr int PWLEN = 256;
inline constexpr int DNLEN = 15;

// RasDialA's notifier type for "post the dial event message to a window".
inline constexpr DWORD kNotifierWindow = 0xFFFFFFFFu;

// The records keep their published 4-byte packing, so their sizes
// (and the dwSize values that callers pass) are exactly the published ones.
#pragma pack(push, 4)
struct RASDIALPARAMSA {
    DWORD dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
    char szPhoneNumber[RAS_MaxPhoneNumber + 1];
    char szCallbackNumber[RAS_MaxCallbackNumber + 1];
    char szUserName[UNLEN + 1];
    char szPassword[PWLEN + 1];
    char szDomain[DNLEN + 1];
};

struct RASCONNSTATUSA {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
};

struct RASENTRYNAMEA {
    DWORD dwSize;
    char szEntryName[RAS_MaxEntryName + 1];
};

struct RASCONNA {
    DWORD dwSize;
    HRASCONN hrasconn;
    char szEntryName[RAS_MaxEntryName + 1];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
};
#pragma pack(pop)

static_assert(sizeof(RASDIALPARAMSA) == 1052);
static_assert(sizeof(RASCONNSTATUSA) == 160);
static_assert(sizeof(RASENTRYNAMEA) == 264);
static_assert(sizeof(RASCONNA) == 412);
static_assert(offsetof(RASDIALPARAMSA, szDomain) == 1033);
static_assert(offsetof(RASCONNSTATUSA, szDeviceName) == 29);
static_assert(offsetof(RASCONNA, szEntryName) == 8);
static_assert(offsetof(RASCONNA, szDeviceName) == 282);

// RASCONNSTATE: the stages of a call.
enum RASCONNSTATE : DWORD {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_AuthRetry = 7,
    RASCS_AuthCallback = 8,
    RASCS_AuthChangePassword = 9,
    RASCS_AuthProject = 10,
    RASCS_AuthLinkSpeed = 11,
    RASCS_AuthAck = 12,
    RASCS_ReAuthenticate = 13,
    RASCS_Authenticated = 14,
    RASCS_PrepareForCallback = 15,
    RASCS_WaitForModemReset = 16,
    RASCS_WaitForCallback = 17,
    RASCS_Projected = 18,
    RASCS_StartAuthentication = 19,
    RASCS_CallbackComplete = 20,
    RASCS_LogonNetwork = 21,
    RASCS_Interactive = 4096,
    RASCS_RetryAuthentication = 4097,
    RASCS_CallbackSetByCaller = 4098,
    RASCS_PasswordExpired = 4099,
    RASCS_Connected = 8192,
    RASCS_Disconnected = 8193,
};

// Result codes, with the service's published numbers. Every code that
// LineService returns or reports has a text (rasErrorText).
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD RASBASE = 600;
inline constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
inline constexpr DWORD ERROR_DEVICE_DOES_NOT_EXIST = 608;
inline constexpr DWORD ERROR_BUFFER_INVALID = 610;
inline constexpr DWORD ERROR_PORT_DISCONNECTED = 619;
inline constexpr DWORD ERROR_CANNOT_OPEN_PHONEBOOK = 621;
inline constexpr DWORD ERROR_CANNOT_LOAD_PHONEBOOK = 622;
inline constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
inline constexpr DWORD ERROR_DISCONNECTION = 628;
inline constexpr DWORD ERROR_REMOTE_DISCONNECTION = 629;
inline constexpr DWORD ERROR_INVALID_SIZE = 632;
inline constexpr DWORD ERROR_PORT_NOT_AVAILABLE = 633;
inline constexpr DWORD ERROR_UNKNOWN = 635;
inline constexpr DWORD ERROR_FROM_DEVICE = 651;
inline constexpr DWORD ERROR_LINE_BUSY = 676;
inline constexpr DWORD ERROR_NO_ANSWER = 678;
inline constexpr DWORD ERROR_NO_CARRIER = 679;
inline constexpr DWORD ERROR_NO_DIALTONE = 680;
inline constexpr DWORD ERROR_AUTHENTICATION_FAILURE = 691;
inline constexpr DWORD ERROR_PORT_OR_DEVICE = 692;
inline constexpr DWORD ERROR_RASMAN_CANNOT_INITIALIZE = 711;
inline constexpr DWORD ERROR_PPP_TIMEOUT = 718;
inline constexpr DWORD ERROR_PPP_NO_PROTOCOLS_CONFIGURED = 720;
inline constexpr DWORD ERROR_PPP_NO_RESPONSE = 721;
inline constexpr DWORD ERROR_PPP_LCP_TERMINATED = 734;
inline constexpr DWORD ERROR_PPP_LOOPBACK_DETECTED = 737;
// The line was ended by a limit that the entry's own options set (idle time,
// connect time, traffic): the user asked for it, so it is no dropped line.
inline constexpr DWORD ERROR_IDLE_DISCONNECTED = 926;

// The dial event message. Its number comes from
// RegisterWindowMessageA("RASDialEvent"): some value in 0xC000..0xFFFF, the
// same in every process, or 0 when registration failed, in which case the
// service falls back to WM_RASDIALEVENT. Our service and components agree on a
// fixed number in the registered range instead.
inline constexpr std::uint32_t kRasDialEventMessage = 0xC0D1;
inline constexpr std::uint32_t WM_RASDIALEVENT = 0xCCCD;
// What registering "RASDialEvent" gives on this system (never 0 here).
std::uint32_t registerDialEventMessage();

// The service's own text for a code, or nullptr when it has none. Every text
// is shorter than 100 characters, the smallest buffer that callers pass.
const char* rasErrorText(DWORD code);

class RasApi : public QObject {
    Q_OBJECT
public:
    ~RasApi() override = default;

    // Starts dialing a phone-book entry. dialExtensions must be null (none are
    // supported); phoneBook null or empty means the default phone book. With
    // kNotifierWindow and a notification target, the service posts the dial
    // event message (wParam state, lParam error) to the target once per stage;
    // with a null target the dial runs without notifications. Writes the new
    // handle (0 when refused) and returns 0 when dialing goes on, or an error.
    virtual DWORD RasDialA(const void* dialExtensions, const char* phoneBook,
                           const RASDIALPARAMSA* params, DWORD notifierType, NotifyTarget notifier,
                           HRASCONN* connection) = 0;
    // Ends a connection or a dial in progress, whoever made it.
    virtual DWORD RasHangUpA(HRASCONN connection) = 0;
    virtual DWORD RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) = 0;
    // reserved must be null. *cb is the size of the entries buffer in bytes;
    // entries[0].dwSize must be sizeof(RASENTRYNAMEA).
    virtual DWORD RasEnumEntriesA(const char* reserved, const char* phoneBook,
                                  RASENTRYNAMEA* entries, DWORD* cb, DWORD* count) = 0;
    // Lists the calls that have not ended, dials in progress included;
    // connections[0].dwSize must be sizeof(RASCONNA).
    virtual DWORD RasEnumConnectionsA(RASCONNA* connections, DWORD* cb, DWORD* count) = 0;
    virtual DWORD RasGetErrorStringA(DWORD code, char* buffer, DWORD size) = 0;
    // What the device said about a call's failure, in words (pppd's own line,
    // the process holding the modem); empty when it said nothing.
    virtual QString failureDetail(HRASCONN) { return {}; }

signals:
    // A call began, moved to another stage or ended, in this process or in
    // another of the user's: whoever shows or watches calls looks again.
    // Always delivered through the caller's event loop, never from inside a
    // call of this interface.
    void callsChanged();
};

}  // namespace obu
