#include "ras/Dialer.h"

#include <QFile>
#include <cstring>
#include <vector>

namespace obu {

namespace {

// Cuts to the field's limit and writes single-byte text with its zero.
void putField(char* field, int limit, const QString& text) {
    const QByteArray bytes = text.left(limit).toLatin1();
    std::memcpy(field, bytes.constData(), bytes.size());
    field[bytes.size()] = 0;
}

QString fromField(const char* field, std::size_t size) {
    return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, size)));
}

// Passwords do not stay in memory longer than the call needs them.
void wipe(void* data, std::size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size--) *p++ = 0;
}

// A window procedure's default answer to a message that it does not handle.
std::intptr_t defaultWindowProcedure(std::uint32_t, std::uintptr_t, std::intptr_t) {
    return 0;
}

}  // namespace

Dialer::Dialer(RasApi& ras) : ras_(ras) {
    const std::uint32_t registered = registerDialEventMessage();
    FDialEventMessage = static_cast<std::uint16_t>(registered != 0 ? registered : WM_RASDIALEVENT);
}

Dialer::~Dialer() {
    if (FNotifyWindow) NotifyTargets::destroy(FNotifyWindow);
}

void Dialer::setPhoneBookPath(const QString& value) {
    FPhoneBookPath = value;
    RefreshEntryList();
}

void Dialer::setRedialAttempts(std::int32_t value) {
    if (value != FRedialAttempts) FRedialAttempts = value;
}

std::int32_t Dialer::Dial() {
    if (FConnectionHandle != 0) HangUpSilently();
    if (FNotifyWindow == 0) {
        FNotifyWindow = NotifyTargets::create(
            [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
                return HandleDialEvent(message, wParam, lParam);
            });
    }
    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof params);
    FConnectionHandle = 0;
    params.dwSize = sizeof(RASDIALPARAMSA);
    putField(params.szEntryName, RAS_MaxEntryName, FEntryName);
    putField(params.szPhoneNumber, RAS_MaxPhoneNumber, FPhoneNumber);
    putField(params.szCallbackNumber, RAS_MaxCallbackNumber, FCallbackNumber);
    putField(params.szUserName, UNLEN, FUserName);
    putField(params.szPassword, PWLEN, FPassword);
    putField(params.szDomain, DNLEN, FDomain);
    const QByteArray phoneBook = QFile::encodeName(FPhoneBookPath);
    HRASCONN handle = 0;
    const DWORD result =
        ras_.RasDialA(nullptr, FPhoneBookPath.isEmpty() ? nullptr : phoneBook.constData(), &params,
                      kNotifierWindow, FNotifyWindow, &handle);
    wipe(params.szPassword, sizeof params.szPassword);
    FConnectionHandle = handle;
    FLastError = static_cast<std::int32_t>(result);
    return FLastError;
}

std::int32_t Dialer::HangUpSilently() {
    std::int32_t result = 0;
    if (FConnectionHandle != 0)
        result = static_cast<std::int32_t>(ras_.RasHangUpA(FConnectionHandle));
    FConnectionHandle = 0;
    if (FNotifyWindow != 0) {
        NotifyTargets::destroy(FNotifyWindow);
        FNotifyWindow = 0;
    }
    FLastError = result;
    return result;
}

std::int32_t Dialer::HangUp() {
    const std::int32_t result = HangUpSilently();
    FireDisconnect();
    return result;
}

std::int32_t Dialer::UpdateStatus() {
    if (FConnectionHandle == 0) return 0;
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof(RASCONNSTATUSA);
    const DWORD result = ras_.RasGetConnectStatusA(FConnectionHandle, &status);
    FLastError = static_cast<std::int32_t>(result);
    if (result == ERROR_SUCCESS) {
        FDeviceName = fromField(status.szDeviceName, sizeof status.szDeviceName);
        FDeviceType = fromField(status.szDeviceType, sizeof status.szDeviceType);
        FConnectState = static_cast<std::uint16_t>(status.rasconnstate & 0xFFFF);
        FLastError = static_cast<std::int32_t>(status.dwError);
    }
    return FLastError;
}

std::int32_t Dialer::RefreshEntryList() {
    FEntryList.clear();
    // Cleared first: with 603 the service need not have written the records,
    // and an unwritten record must read as an empty name, not as old bytes.
    std::vector<RASENTRYNAMEA> entries(kMaxEntries);
    std::memset(entries.data(), 0, entries.size() * sizeof(RASENTRYNAMEA));
    entries[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEA));
    DWORD count = 0;
    const QByteArray phoneBook = QFile::encodeName(FPhoneBookPath);
    const DWORD result =
        ras_.RasEnumEntriesA(nullptr, FPhoneBookPath.isEmpty() ? nullptr : phoneBook.constData(),
                             entries.data(), &bytes, &count);
    FLastError = static_cast<std::int32_t>(result);
    if (result == ERROR_SUCCESS || result == ERROR_BUFFER_TOO_SMALL) {
        const DWORD n = std::min<DWORD>(count, kMaxEntries);
        for (DWORD i = 0; i < n; ++i) {
            const QString name = fromField(entries[i].szEntryName, sizeof entries[i].szEntryName);
            if (!name.isEmpty()) FEntryList.append(name);
        }
    }
    return FLastError;
}

QString Dialer::GetErrorText(std::int32_t code) {
    if (FConnectionHandle == 0) return QString();
    char buffer[257];
    std::memset(buffer, 0, sizeof buffer);
    ras_.RasGetErrorStringA(static_cast<DWORD>(code), buffer, 256);
    const QString text = fromField(buffer, 256);
    return text.isEmpty() ? QStringLiteral("Status Unknown") : text;
}

QString Dialer::GetStatusText() {
    if (FConnectionHandle == 0) return QStringLiteral("Not Active");
    UpdateStatus();
    if (FLastError >= 600) return GetErrorText(FLastError);
    if (FLastError == 6) return QStringLiteral("Invalid Handle");
    if (FLastError == 8) return QStringLiteral("Not enough memory");
    if (FLastError != 0) return QString();
    switch (FConnectState) {
        case 0:
            return QStringLiteral("Opening Port");
        case 1:
            return QStringLiteral("Port Opened");
        case 2:
            return QStringLiteral("Using Device: ") + FDeviceName + QStringLiteral(" - ") +
                   FDeviceType;
        case 3:
            return QStringLiteral("Device is connected");
        case 4:
            return QStringLiteral("All Required Devices Connected");
        case 5:
            return QStringLiteral("Validating User/Password/Domain");
        case 6:
            return QStringLiteral("Authentication Notification");
        case 8:
            return QStringLiteral("Authentication Call Back");
        case 10:
            return QStringLiteral("Project");
        case 11:
            return QStringLiteral("Calculating Link speed");
        case 12:
            return QStringLiteral("Authentication acknowledged");
        case 13:
            return QStringLiteral("Reauthenticating");
        case 14:
            return QStringLiteral("Login Authenticated");
        case 15:
            return QStringLiteral("Preparing for Callback");
        case 16:
            return QStringLiteral("Waiting for Modem Reset");
        case 17:
            return QStringLiteral("Waiting for Callback");
        default:
            return QString();  // 7, 9, 18 and above
    }
}

const TNotifyEvent* Dialer::eventOf(std::uint16_t state) const {
    switch (state) {
        case RASCS_OpenPort:
            return &FOnAboutToOpenPort;
        case RASCS_PortOpened:
            return &FOnPortOpened;
        case RASCS_ConnectDevice:
            return &FOnAboutToConnDev;
        case RASCS_DeviceConnected:
            return &FOnDevConnected;
        case RASCS_AllDevicesConnected:
            return &FOnAllDevsConnected;
        case RASCS_Authenticate:
            return &FOnAuthenticate;
        case RASCS_AuthNotify:
            return &FOnAuthNotify;
        case RASCS_AuthRetry:
            return &FOnAuthRetry;
        case RASCS_AuthCallback:
            return &FOnAuthCallBack;
        case RASCS_AuthChangePassword:
            return &FOnAuthChangePassword;
        case RASCS_AuthProject:
            return &FOnAuthProject;
        case RASCS_AuthLinkSpeed:
            return &FOnAuthLinkSpeed;
        case RASCS_AuthAck:
            return &FOnAuthAck;
        case RASCS_ReAuthenticate:
            return &FOnReAuthenticate;
        case RASCS_Authenticated:
            return &FOnAuthenticated;
        case RASCS_PrepareForCallback:
            return &FOnPrepareforCallback;
        case RASCS_WaitForModemReset:
            return &FOnWaitForModemReset;
        case RASCS_WaitForCallback:
            return &FOnCallBack;
        case RASCS_Interactive:
            return &FOnInteractiveStarted;
        case RASCS_RetryAuthentication:
            return &FOnRetryAuth;
        case RASCS_PasswordExpired:
            return &FOnPasswordExpired;
        case RASCS_Connected:
            return &FOnConnect;
        default:
            return nullptr;  // 18 to 21, 4098 and unknown states
    }
}

void Dialer::fireStateEvent(std::uint16_t state) {
    if (FConnectionHandle == 0) return;
    if (state == RASCS_Disconnected) {
        FireDisconnect();
        return;
    }
    const TNotifyEvent* slot = eventOf(state);
    if (!slot || !*slot) return;
    // A copy: the handler may replace its own slot.
    const TNotifyEvent handler = *slot;
    handler(this);
}

std::intptr_t Dialer::HandleDialEvent(std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    if (message != FDialEventMessage || FConnectionHandle == 0)
        return defaultWindowProcedure(message, wParam, lParam);
    if (lParam != 0) {
        FLastError = static_cast<std::int32_t>(lParam);
    } else {
        FConnectState = static_cast<std::uint16_t>(wParam & 0xFFFF);
        fireStateEvent(FConnectState);
    }
    (void)GetStatusText();
    if (lParam != 0 && FOnDialError && FConnectionHandle != 0) {
        const auto error = static_cast<std::int32_t>(lParam);
        const TRasStateEvent handler = FOnDialError;
        handler(this, error, GetErrorText(error));
    }
    return 0;
}

void Dialer::FireDisconnect() {
    if (!FOnDisconnect) return;
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof(RASCONNSTATUSA);
    const std::int32_t error =
        static_cast<std::int32_t>(ras_.RasGetConnectStatusA(FConnectionHandle, &status));
    const QString text = GetErrorText(error);
    const TRasStateEvent handler = FOnDisconnect;
    handler(this, error, text);
}

}  // namespace obu
