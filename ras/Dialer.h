#pragma once
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "dialup/DialUpService.h"

namespace obu {

class Dialer;

using TNotifyEvent = std::function<void(Dialer* Sender)>;
using TRasStateEvent =
    std::function<void(Dialer* Sender, std::int32_t Error, const QString& ErrorString)>;

// The dial-up connection component: holds one call through the dial-up
// service, turns the stages that the service announces for it into events, hangs up,
// reports the call's status and lists the phone book's entries. It never
// redials by itself and shows nothing; every result lands in LastError.
//
// Properties are read with their name and written with set + name. Events are
// called only when set, with the component as sender, on the loop's thread.
class Dialer {
public:
    explicit Dialer(DialUpService& service);
    // Stops listening to the service; a connection that is up stays up.
    ~Dialer();
    Dialer(const Dialer&) = delete;
    Dialer& operator=(const Dialer&) = delete;

    // Properties that an owner sets.
    const QString& EntryName() const { return FEntryName; }
    void setEntryName(const QString& value) { FEntryName = value; }
    const QString& PhoneNumber() const { return FPhoneNumber; }
    void setPhoneNumber(const QString& value) { FPhoneNumber = value; }
    const QString& PhoneBookPath() const { return FPhoneBookPath; }
    // Stores the path and refills EntryList from that phone book.
    void setPhoneBookPath(const QString& value);
    const QString& CallbackNumber() const { return FCallbackNumber; }
    void setCallbackNumber(const QString& value) { FCallbackNumber = value; }
    const QString& UserName() const { return FUserName; }
    void setUserName(const QString& value) { FUserName = value; }
    const QString& Password() const { return FPassword; }
    void setPassword(const QString& value) { FPassword = value; }
    std::int32_t RedialAttempts() const { return FRedialAttempts; }
    void setRedialAttempts(std::int32_t value);
    const QString& Domain() const { return FDomain; }
    void setDomain(const QString& value) { FDomain = value; }
    const QString& DeviceType() const { return FDeviceType; }
    void setDeviceType(const QString& value) { FDeviceType = value; }
    const QString& DeviceName() const { return FDeviceName; }
    void setDeviceName(const QString& value) { FDeviceName = value; }

    // Events.
    const TNotifyEvent& OnConnect() const { return FOnConnect; }
    void setOnConnect(TNotifyEvent handler) { FOnConnect = std::move(handler); }
    const TRasStateEvent& OnDisconnect() const { return FOnDisconnect; }
    void setOnDisconnect(TRasStateEvent handler) { FOnDisconnect = std::move(handler); }
    const TNotifyEvent& OnCallBack() const { return FOnCallBack; }
    void setOnCallBack(TNotifyEvent handler) { FOnCallBack = std::move(handler); }
    const TNotifyEvent& OnAboutToOpenPort() const { return FOnAboutToOpenPort; }
    void setOnAboutToOpenPort(TNotifyEvent handler) { FOnAboutToOpenPort = std::move(handler); }
    const TNotifyEvent& OnPortOpened() const { return FOnPortOpened; }
    void setOnPortOpened(TNotifyEvent handler) { FOnPortOpened = std::move(handler); }
    const TNotifyEvent& OnAboutToConnDev() const { return FOnAboutToConnDev; }
    void setOnAboutToConnDev(TNotifyEvent handler) { FOnAboutToConnDev = std::move(handler); }
    const TNotifyEvent& OnDevConnected() const { return FOnDevConnected; }
    void setOnDevConnected(TNotifyEvent handler) { FOnDevConnected = std::move(handler); }
    const TNotifyEvent& OnAllDevsConnected() const { return FOnAllDevsConnected; }
    void setOnAllDevsConnected(TNotifyEvent handler) { FOnAllDevsConnected = std::move(handler); }
    const TNotifyEvent& OnAuthenticate() const { return FOnAuthenticate; }
    void setOnAuthenticate(TNotifyEvent handler) { FOnAuthenticate = std::move(handler); }
    const TNotifyEvent& OnAuthNotify() const { return FOnAuthNotify; }
    void setOnAuthNotify(TNotifyEvent handler) { FOnAuthNotify = std::move(handler); }
    const TNotifyEvent& OnAuthRetry() const { return FOnAuthRetry; }
    void setOnAuthRetry(TNotifyEvent handler) { FOnAuthRetry = std::move(handler); }
    const TNotifyEvent& OnAuthCallBack() const { return FOnAuthCallBack; }
    void setOnAuthCallBack(TNotifyEvent handler) { FOnAuthCallBack = std::move(handler); }
    const TNotifyEvent& OnAuthChangePassword() const { return FOnAuthChangePassword; }
    void setOnAuthChangePassword(TNotifyEvent handler) {
        FOnAuthChangePassword = std::move(handler);
    }
    const TNotifyEvent& OnAuthProject() const { return FOnAuthProject; }
    void setOnAuthProject(TNotifyEvent handler) { FOnAuthProject = std::move(handler); }
    const TNotifyEvent& OnAuthLinkSpeed() const { return FOnAuthLinkSpeed; }
    void setOnAuthLinkSpeed(TNotifyEvent handler) { FOnAuthLinkSpeed = std::move(handler); }
    const TNotifyEvent& OnAuthAck() const { return FOnAuthAck; }
    void setOnAuthAck(TNotifyEvent handler) { FOnAuthAck = std::move(handler); }
    const TNotifyEvent& OnReAuthenticate() const { return FOnReAuthenticate; }
    void setOnReAuthenticate(TNotifyEvent handler) { FOnReAuthenticate = std::move(handler); }
    const TNotifyEvent& OnAuthenticated() const { return FOnAuthenticated; }
    void setOnAuthenticated(TNotifyEvent handler) { FOnAuthenticated = std::move(handler); }
    const TNotifyEvent& OnPrepareforCallback() const { return FOnPrepareforCallback; }
    void setOnPrepareforCallback(TNotifyEvent handler) {
        FOnPrepareforCallback = std::move(handler);
    }
    const TNotifyEvent& OnWaitForModemReset() const { return FOnWaitForModemReset; }
    void setOnWaitForModemReset(TNotifyEvent handler) { FOnWaitForModemReset = std::move(handler); }
    const TNotifyEvent& OnInteractiveStarted() const { return FOnInteractiveStarted; }
    void setOnInteractiveStarted(TNotifyEvent handler) {
        FOnInteractiveStarted = std::move(handler);
    }
    const TNotifyEvent& OnRetryAuth() const { return FOnRetryAuth; }
    void setOnRetryAuth(TNotifyEvent handler) { FOnRetryAuth = std::move(handler); }
    const TNotifyEvent& OnPasswordExpired() const { return FOnPasswordExpired; }
    void setOnPasswordExpired(TNotifyEvent handler) { FOnPasswordExpired = std::move(handler); }
    // A dial notification that carries an error: the call has failed at the
    // stage it reached. Raised after LastError holds the error.
    const TRasStateEvent& OnDialError() const { return FOnDialError; }
    void setOnDialError(TRasStateEvent handler) { FOnDialError = std::move(handler); }

    // Read by the owner, written only by the component.
    const QStringList& EntryList() const { return FEntryList; }
    std::int32_t LastError() const { return FLastError; }
    CallId ConnectionHandle() const { return FConnectionHandle; }
    CallState ConnectState() const { return FConnectState; }

    // Starts a call (hanging up a call still held, without an event) and
    // returns the service's immediate result.
    std::int32_t Dial();
    // Ends the call and fires OnDisconnect.
    std::int32_t HangUp();
    // Ends the call without an event.
    std::int32_t HangUpSilently();
    // Refreshes DeviceType, DeviceName, ConnectState and LastError from the
    // service; 0 without a call.
    std::int32_t UpdateStatus();
    // Refills EntryList with the first 20 names of the phone book.
    std::int32_t RefreshEntryList();
    QString GetStatusText();
    QString GetErrorText(std::int32_t code);
    // A stage that the service announced for one of this process's calls;
    // those of other calls than the one held are ignored.
    void HandleDialEvent(CallId call, CallState state, DialUpError error);
    void FireDisconnect();

    static constexpr int kMaxEntries = 20;

private:
    void fireStateEvent(CallState state);
    const TNotifyEvent* eventOf(CallState state) const;

    DialUpService& service_;
    QMetaObject::Connection stages_;

    QString FEntryName;
    QString FPhoneNumber;
    QString FPhoneBookPath;
    QString FCallbackNumber;
    QString FUserName;
    QString FPassword;
    QString FDomain;
    QString FDeviceType;
    QString FDeviceName;
    std::int32_t FRedialAttempts = 1;
    TNotifyEvent FOnConnect;
    TRasStateEvent FOnDisconnect;
    TNotifyEvent FOnCallBack;
    TNotifyEvent FOnAboutToOpenPort;
    TNotifyEvent FOnPortOpened;
    TNotifyEvent FOnAboutToConnDev;
    TNotifyEvent FOnDevConnected;
    TNotifyEvent FOnAllDevsConnected;
    TNotifyEvent FOnAuthenticate;
    TNotifyEvent FOnAuthNotify;
    TNotifyEvent FOnAuthRetry;
    TNotifyEvent FOnAuthCallBack;
    TNotifyEvent FOnAuthChangePassword;
    TNotifyEvent FOnAuthProject;
    TNotifyEvent FOnAuthLinkSpeed;
    TNotifyEvent FOnAuthAck;
    TNotifyEvent FOnReAuthenticate;
    TNotifyEvent FOnAuthenticated;
    TNotifyEvent FOnPrepareforCallback;
    TNotifyEvent FOnWaitForModemReset;
    TNotifyEvent FOnInteractiveStarted;
    TNotifyEvent FOnRetryAuth;
    TNotifyEvent FOnPasswordExpired;
    TRasStateEvent FOnDialError;
    QStringList FEntryList;
    std::int32_t FLastError = 0;
    CallId FConnectionHandle = 0;
    CallState FConnectState = CallState::OpenPort;
};

}  // namespace obu
