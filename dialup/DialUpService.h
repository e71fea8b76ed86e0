#pragma once
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace obu {

// A call's number. It means the same in every process of the user: another
// program may hang up a call that it listed.
using CallId = std::uint32_t;

// A result code of the dial-up service, with the numbers that the log and the
// status line show ("Dial failed (error 691)"). 0 is success.
using DialUpError = std::uint32_t;

namespace dialup_error {
inline constexpr DialUpError None = 0;
inline constexpr DialUpError AccessDenied = 5;
inline constexpr DialUpError InvalidCall = 6;
inline constexpr DialUpError NotEnoughMemory = 8;
inline constexpr DialUpError InvalidParameter = 87;
inline constexpr DialUpError DeviceDoesNotExist = 608;
inline constexpr DialUpError PortDisconnected = 619;
inline constexpr DialUpError CannotOpenPhoneBook = 621;
inline constexpr DialUpError CannotLoadPhoneBook = 622;
inline constexpr DialUpError CannotFindEntry = 623;
inline constexpr DialUpError Disconnection = 628;
inline constexpr DialUpError RemoteDisconnection = 629;
inline constexpr DialUpError PortNotAvailable = 633;
inline constexpr DialUpError Unknown = 635;
inline constexpr DialUpError FromDevice = 651;
inline constexpr DialUpError LineBusy = 676;
inline constexpr DialUpError NoAnswer = 678;
inline constexpr DialUpError NoCarrier = 679;
inline constexpr DialUpError NoDialTone = 680;
inline constexpr DialUpError AuthenticationFailure = 691;
inline constexpr DialUpError PortOrDevice = 692;
inline constexpr DialUpError CannotInitialize = 711;
inline constexpr DialUpError PppTimeout = 718;
inline constexpr DialUpError PppNoProtocols = 720;
inline constexpr DialUpError PppNoResponse = 721;
inline constexpr DialUpError PppLcpTerminated = 734;
inline constexpr DialUpError PppLoopback = 737;
// The line was ended by a limit that the entry's own options set (idle time,
// connect time, traffic): the user asked for it, so it is no dropped line.
inline constexpr DialUpError LimitReached = 926;
// The source of a call went away (NetworkManager left the bus or restarts):
// nothing is known of the line until it returns. No dropped line either.
inline constexpr DialUpError ServiceGone = 1000;
}  // namespace dialup_error

// The stages that the sources report for a call, with the numbers that the
// status texts and other processes' records know them by.
enum class CallState : std::uint32_t {
    OpenPort = 0,
    PortOpened = 1,
    ConnectDevice = 2,
    DeviceConnected = 3,
    AllDevicesConnected = 4,
    Authenticate = 5,
    Authenticated = 14,
    Projected = 18,
    Connected = 8192,
    Disconnected = 8193,
};

// What a caller asks to dial. An empty phone number dials the entry's own.
struct DialRequest {
    QString entry;
    QString phoneNumber;
    QString callbackNumber;
    QString userName;
    QString password;
    QString domain;
    QString phoneBook;  // empty: the default phone book
};

// A call that has not ended (or, from callStatus, one that ended with an
// error and has not been hung up yet).
struct CallInfo {
    CallId id = 0;
    QString entry;
    QString deviceType;
    QString deviceName;
    CallState state = CallState::OpenPort;
    DialUpError error = dialup_error::None;
};

// An entry that can be dialled, and where it comes from ("phone book",
// "NetworkManager").
struct EntryInfo {
    QString name;
    QString source;
};

class Call;

// The dial-up service: lists entries and calls, dials, hangs up, and says so
// by signals when a call changes. Every signal is delivered through the
// caller's event loop, never from inside one of these calls.
class DialUpService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DialUpService() override = default;

    // Dials an entry and gives the caller the call as an object that follows
    // its own stages and end. A refusal at once gives a call that has ended
    // (Failed, with the refusal's code).
    std::unique_ptr<Call> dial(const DialRequest& request);
    // The object of a call that is up already (found in calls()), to follow
    // until it ends.
    std::unique_ptr<Call> follow(const CallInfo& call);
    // The first call listed of an entry (names compare without case) that is
    // up (or, with upOnly false, up or on its way up); false when there is
    // none, or when the list cannot be read whole.
    bool findUp(const QString& entry, CallInfo* out, bool upOnly = true);

    // The entries of a phone book (empty path: the default one), in its order.
    virtual DialUpError entries(const QString& phoneBook, QList<EntryInfo>* out) = 0;
    // Starts a call. Its stages arrive as callStateChanged for the returned
    // id; it ends with Connected or with a stage that carries an error. A
    // refusal at once returns the error and no id.
    virtual DialUpError dial(const DialRequest& request, CallId* id) = 0;
    // Ends a connection or a dial in progress, whoever made it. The call's
    // own dial notifications stop.
    virtual DialUpError hangUp(CallId id) = 0;
    // The calls that have not ended, dials in progress included, oldest first.
    virtual DialUpError calls(QList<CallInfo>* out) = 0;
    // One call, also one that failed and has not been hung up.
    virtual DialUpError callStatus(CallId id, CallInfo* out) = 0;
    // The service's own words for a code; empty when it has none.
    virtual QString errorText(DialUpError code) const = 0;
    // What the device said about a call's failure (pppd's own line, the
    // process holding the modem); empty when it said nothing.
    virtual QString failureDetail(CallId) { return {}; }
    // Forgets what is kept of a call that has ended (its failure, its
    // record). A call of that id that is live is never touched.
    virtual void forget(CallId) {}
    // Whether every source of the service is there and has said what it
    // has: a line of a source that is not there yet cannot be looked for.
    virtual bool sourcesReady() const { return true; }

signals:
    // A call that this process dialled reached a stage, or failed at it
    // (error not 0).
    void callStateChanged(obu::CallId id, obu::CallState state, obu::DialUpError error);
    // A call began, moved to another stage or ended, in this process or in
    // another of the user's: whoever shows or watches calls looks again.
    void callsChanged();
    // A call ended: hung up (error 0), dropped or failed. Announced for the
    // calls of other processes too, as soon as this process notices.
    void callEnded(obu::CallId id, obu::DialUpError error);
    // The entries that can be dialled changed.
    void entriesChanged();
    // A source came or went (sourcesReady() changed).
    void sourcesChanged();
};

}  // namespace obu

Q_DECLARE_METATYPE(obu::CallState)
