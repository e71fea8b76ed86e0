#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include "dialup/DialUpService.h"

namespace obu {

// One call through the dial-up service: dials the chosen entry, follows the
// stages that the service announces for it, hangs up, and lists the phone
// book's entries. It never redials by itself and shows nothing; every result
// lands in lastError(). Its signals are emitted on the loop's thread.
class DialUpCall : public QObject {
    Q_OBJECT
public:
    explicit DialUpCall(DialUpService& service, QObject* parent = nullptr);
    // A connection that is up stays up.
    ~DialUpCall() override;

    const QString& entryName() const { return m_entryName; }
    void setEntryName(const QString& value) { m_entryName = value; }
    const QString& userName() const { return m_userName; }
    void setUserName(const QString& value) { m_userName = value; }
    const QString& password() const { return m_password; }
    void setPassword(const QString& value) { m_password = value; }
    const QString& phoneBookPath() const { return m_phoneBookPath; }
    // Stores the path and refills the entry list from that phone book.
    void setPhoneBookPath(const QString& value);

    // The call held (0: none), its last known stage, and the last result.
    CallId callId() const { return m_call; }
    CallState state() const { return m_state; }
    DialUpError lastError() const { return m_lastError; }
    // The first names of the phone book, as last read.
    const QStringList& entryList() const { return m_entryList; }

    // Starts a call (hanging up a call still held, without a signal) and
    // returns the service's immediate result.
    DialUpError dial();
    // Ends the call and says so with disconnected().
    DialUpError hangUp();
    // Ends the call without a signal; none of its later stages arrive.
    DialUpError hangUpSilently();
    // Refills the entry list with the first 20 names of the phone book.
    DialUpError refreshEntryList();

    static constexpr int kMaxEntries = 20;

signals:
    // The call reached a stage on its way (not Connected or Disconnected).
    void stageReached(obu::CallState state);
    void connected();
    // The call failed at the stage it reached; the text is the service's.
    void failed(obu::DialUpError error, const QString& errorText);
    // The call ended: hung up here, or the service said Disconnected.
    void disconnected();

private:
    void onStage(CallId call, CallState state, DialUpError error);
    // Reads the call's stage and error back from the service.
    void refreshStatus();
    QString errorText(DialUpError code) const;

    DialUpService& m_service;
    QString m_entryName;
    QString m_userName;
    QString m_password;
    QString m_phoneBookPath;
    QStringList m_entryList;
    CallId m_call = 0;
    CallState m_state = CallState::OpenPort;
    DialUpError m_lastError = dialup_error::None;
};

}  // namespace obu
