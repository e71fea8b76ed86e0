#include "ras/Dialer.h"

namespace obu {

Dialer::Dialer(DialUpService& service) : service_(service) {
    stages_ = QObject::connect(&service_, &DialUpService::callStateChanged,
                               [this](CallId call, CallState state, DialUpError error) {
                                   HandleDialEvent(call, state, error);
                               });
}

Dialer::~Dialer() {
    QObject::disconnect(stages_);
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
    FConnectionHandle = 0;
    DialRequest request;
    request.entry = FEntryName;
    request.phoneNumber = FPhoneNumber;
    request.callbackNumber = FCallbackNumber;
    request.userName = FUserName;
    request.password = FPassword;
    request.domain = FDomain;
    request.phoneBook = FPhoneBookPath;
    CallId call = 0;
    const DialUpError result = service_.dial(request, &call);
    // The copy of the password does not stay in memory longer than the call needs it.
    request.password.fill(QLatin1Char('\0'));
    FConnectionHandle = call;
    FLastError = static_cast<std::int32_t>(result);
    return FLastError;
}

std::int32_t Dialer::HangUpSilently() {
    std::int32_t result = 0;
    if (FConnectionHandle != 0)
        result = static_cast<std::int32_t>(service_.hangUp(FConnectionHandle));
    FConnectionHandle = 0;
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
    CallInfo status;
    const DialUpError result = service_.callStatus(FConnectionHandle, &status);
    FLastError = static_cast<std::int32_t>(result);
    if (result == dialup_error::None) {
        FDeviceName = status.deviceName;
        FDeviceType = status.deviceType;
        FConnectState = status.state;
        FLastError = static_cast<std::int32_t>(status.error);
    }
    return FLastError;
}

std::int32_t Dialer::RefreshEntryList() {
    FEntryList.clear();
    QList<EntryInfo> entries;
    const DialUpError result = service_.entries(FPhoneBookPath, &entries);
    FLastError = static_cast<std::int32_t>(result);
    if (result != dialup_error::None) return FLastError;
    // The list shows the first names only.
    for (const EntryInfo& entry : entries) {
        if (FEntryList.size() == kMaxEntries) break;
        if (!entry.name.isEmpty()) FEntryList.append(entry.name);
    }
    return FLastError;
}

QString Dialer::GetErrorText(std::int32_t code) {
    if (FConnectionHandle == 0) return QString();
    const QString text = service_.errorText(static_cast<DialUpError>(code));
    return text.isEmpty() ? QStringLiteral("Status Unknown") : text;
}

QString Dialer::GetStatusText() {
    if (FConnectionHandle == 0) return QStringLiteral("Not Active");
    UpdateStatus();
    if (FLastError >= 600) return GetErrorText(FLastError);
    if (FLastError == 6) return QStringLiteral("Invalid Handle");
    if (FLastError == 8) return QStringLiteral("Not enough memory");
    if (FLastError != 0) return QString();
    switch (static_cast<std::uint32_t>(FConnectState)) {
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

const TNotifyEvent* Dialer::eventOf(CallState state) const {
    switch (state) {
        case CallState::OpenPort:
            return &FOnAboutToOpenPort;
        case CallState::PortOpened:
            return &FOnPortOpened;
        case CallState::ConnectDevice:
            return &FOnAboutToConnDev;
        case CallState::DeviceConnected:
            return &FOnDevConnected;
        case CallState::AllDevicesConnected:
            return &FOnAllDevsConnected;
        case CallState::Authenticate:
            return &FOnAuthenticate;
        case CallState::AuthNotify:
            return &FOnAuthNotify;
        case CallState::AuthRetry:
            return &FOnAuthRetry;
        case CallState::AuthCallback:
            return &FOnAuthCallBack;
        case CallState::AuthChangePassword:
            return &FOnAuthChangePassword;
        case CallState::AuthProject:
            return &FOnAuthProject;
        case CallState::AuthLinkSpeed:
            return &FOnAuthLinkSpeed;
        case CallState::AuthAck:
            return &FOnAuthAck;
        case CallState::ReAuthenticate:
            return &FOnReAuthenticate;
        case CallState::Authenticated:
            return &FOnAuthenticated;
        case CallState::PrepareForCallback:
            return &FOnPrepareforCallback;
        case CallState::WaitForModemReset:
            return &FOnWaitForModemReset;
        case CallState::WaitForCallback:
            return &FOnCallBack;
        case CallState::Interactive:
            return &FOnInteractiveStarted;
        case CallState::RetryAuthentication:
            return &FOnRetryAuth;
        case CallState::PasswordExpired:
            return &FOnPasswordExpired;
        case CallState::Connected:
            return &FOnConnect;
        default:
            return nullptr;  // 18 to 21, 4098 and unknown states
    }
}

void Dialer::fireStateEvent(CallState state) {
    if (FConnectionHandle == 0) return;
    if (state == CallState::Disconnected) {
        FireDisconnect();
        return;
    }
    const TNotifyEvent* slot = eventOf(state);
    if (!slot || !*slot) return;
    // A copy: the handler may replace its own slot.
    const TNotifyEvent handler = *slot;
    handler(this);
}

void Dialer::HandleDialEvent(CallId call, CallState state, DialUpError error) {
    if (call == 0 || call != FConnectionHandle) return;
    if (error != 0) {
        FLastError = static_cast<std::int32_t>(error);
    } else {
        FConnectState = state;
        fireStateEvent(FConnectState);
    }
    (void)GetStatusText();
    if (error != 0 && FOnDialError && FConnectionHandle != 0) {
        const auto code = static_cast<std::int32_t>(error);
        const TRasStateEvent handler = FOnDialError;
        handler(this, code, GetErrorText(code));
    }
}

void Dialer::FireDisconnect() {
    if (!FOnDisconnect) return;
    CallInfo status;
    const std::int32_t error =
        static_cast<std::int32_t>(service_.callStatus(FConnectionHandle, &status));
    const QString text = GetErrorText(error);
    const TRasStateEvent handler = FOnDisconnect;
    handler(this, error, text);
}

}  // namespace obu
