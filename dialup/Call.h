#pragma once
#include <QObject>
#include <QString>

#include "dialup/DialUpService.h"

namespace obu {

// How a call ended.
enum class CallEnd {
    None,          // it has not ended
    HungUpHere,    // this program hung it up
    Dropped,       // it was up and the far end or another program ended it
    Failed,        // it never came up: refused, or failed at a stage, with a code
    LimitReached,  // the entry's own limit (idle or connect time) ended it
    ServiceGone,   // its source went away: what became of the line is not known
};

// One call through the dial-up service, as its owner sees it: the stage it
// reached, and once it has ended, how and with which code. It follows the
// service's signals for its own id only, so another call of the machine
// (another entry, another program's modem) never moves it. An ended call
// is done with: its id may be given to a new call of the same entry later,
// and nothing done to this object can touch that one.
class Call : public QObject {
    Q_OBJECT
public:
    // Who made the call: its stages come to the process that dialled it;
    // another's call on its way up is seen coming up in the list of calls.
    enum class Origin { DialledHere, Elsewhere };

    // A call the service has started (or refused: pass the refusal as
    // `refused`, and the call has ended as Failed at once, without a signal).
    Call(DialUpService& service, CallId id, QString entry, CallState state, Origin origin,
         DialUpError refused = dialup_error::None);
    // A connection that is up stays up.
    ~Call() override;

    CallId id() const { return m_id; }
    const QString& entry() const { return m_entry; }
    CallState state() const { return m_state; }
    bool isUp() const { return m_end == CallEnd::None && m_state == CallState::Connected; }
    bool hasEnded() const { return m_end != CallEnd::None; }
    CallEnd end() const { return m_end; }
    // The code it ended with (0 for a hang-up here), and what the device
    // said of it (pppd's own line, the process holding the modem).
    DialUpError endError() const { return m_endError; }
    const QString& endDetail() const { return m_endDetail; }

    // Ends the call here. Its owner asked, so no signal says so; nothing of
    // the call arrives afterwards. A call that has ended already is left alone.
    DialUpError hangUp();
    // Asks the service whether the call is still there (after the machine
    // slept, say): one that is gone ends now as dropped. A service that
    // cannot answer changes nothing.
    void checkStillThere();

signals:
    // A stage on its way up (not Connected).
    void stageReached(obu::CallState state);
    void connected();
    // The call ended by something other than hangUp().
    void ended(obu::CallEnd how, obu::DialUpError error);

private:
    void onStage(CallId id, CallState state, DialUpError error);
    void onEnded(CallId id, DialUpError error);
    void onCallsChanged();
    // Records the end, forgets what the service kept of the call, and says so.
    void finish(CallEnd how, DialUpError error);

    DialUpService& m_service;
    CallId m_id;
    QString m_entry;
    CallState m_state;
    CallEnd m_end = CallEnd::None;
    DialUpError m_endError = dialup_error::None;
    QString m_endDetail;
};

}  // namespace obu

Q_DECLARE_METATYPE(obu::CallEnd)
