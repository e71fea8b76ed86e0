#pragma once
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "dialup/Call.h"
#include "dialup/DialUpService.h"
#include "model/Countdown.h"
#include "platform/WindowTimer.h"

namespace obu {

struct Platform;
class EventLog;
class History;
class LinkCheck;
class UserOptions;
class Settings;

// The largest number of minutes the disconnect timer offers.
constexpr int kMaxDisconnectMinutes = 1000;
// The minutes the disconnect timer uses for a stored value.
int disconnectTimerMinutes(int stored);

// Looks after one line: the chosen entry and the call it dialled or adopted
// for it (the kept call). It dials and hangs up that call, redials a busy
// line when the option says so, notices when something else ends it and
// dials again after a ten-second count (and keeps trying, with growing
// waits, while the option says so), warns thirty seconds before the
// disconnect timer hangs up, and finds a line of the chosen entry that is up
// already. Other calls of the machine (other entries, other programs'
// modems, other NetworkManager profiles) are never acted on. It writes the
// log and asks its questions through the platform's message boxes; what the
// windows show it announces by its signals.
class LineKeeper : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,              // no session: nothing is kept
        Dialling,          // the kept entry is being dialled (or a busy line redialled)
        Up,                // the kept call is up and followed
        CountingDown,      // it was dropped: the reconnect count runs
        WaitingToRetry,    // a reconnect dial failed: the next one waits
        WaitingForSource,  // its source went away (NetworkManager restarting)
    };
    Q_ENUM(State)

    LineKeeper(Platform& platform, Settings& settings, EventLog& log, const UserOptions& options);
    // A connection that is up stays up.
    ~LineKeeper() override;

    State state() const { return m_state; }
    // Whether the connect command dials (the line is free) or hangs up.
    bool readyToConnect() const { return m_lineFree; }
    // From the user's connect (or the alarm's) until the user, the program or
    // a failed dial ends it; an alarm does not dial while it lasts.
    bool sessionActive() const { return m_state != State::Idle; }
    // The kept call; null when there is none.
    const Call* keptCall() const { return m_call.get(); }
    // While the kept call is up and followed.
    bool watchingForDrop() const { return m_state == State::Up; }
    // The entry to dial, with its user name and password.
    const QString& entryName() const { return m_entry; }
    const QString& userName() const { return m_userName; }
    const QString& password() const { return m_password; }
    // Milliseconds from the connection to the disconnect warning while the
    // disconnect timer runs; 0 while it does not.
    int disconnectWarningAfterMs() const;
    // The two counts that the countdown windows show: the reconnect count
    // also shows the wait before the next try.
    const Countdown& reconnectCountdown() const { return m_reconnectCount; }
    const Countdown& disconnectCountdown() const { return m_disconnectWarning; }

    void chooseEntry(const QString& entry, const QString& userName, const QString& password);
    // The first names of the entries, read again (at most 20, none empty).
    QStringList readEntryList();

    // The connect command: dials when the line is free, hangs up otherwise.
    void toggleConnection();
    // At start: a line of the chosen entry that is up already becomes the
    // session (once the dial-up sources have said what they have).
    void adoptConnectionAtStart();
    // When the splash window gives way: dials if the option says so and no
    // line was found up.
    void connectOnStart();
    // Why the alarm may not dial now (the modem held by another program, a
    // session going on); empty when it may.
    QString whyAlarmCannotDial() const;
    bool mayDialAtAlarm() const { return whyAlarmCannotDial().isEmpty(); }
    // Announces the connect command's face and the tray item's caption for
    // the line as it is, and as free whatever it is (the tray menu's
    // Disconnect leaves them so).
    void showLineState();
    void showLineFree();
    // The user cancelled the reconnect count (or the wait to retry): the
    // session ends.
    void cancelReconnect();
    // The user cancelled the disconnect warning: the line stays up.
    void cancelDisconnectWarning();
    // The disconnect timer and a warning already counting end.
    void stopDisconnectTimer();
    // The machine woke from sleep: the kept line is looked at at once.
    void lookAtLineNow();
    // The program ends: nothing more is followed. The disconnect timer is
    // left alone, as ending the program never hangs up.
    void stopWatching();

    // Longest wait between two tries to reconnect.
    static constexpr int kMaxRetryWaitSeconds = 600;

signals:
    void stateChanged(obu::LineKeeper::State state);
    // The status line's text.
    void statusChanged(const QString& text);
    // The connect command's face on the main window: Connect while the line is free.
    void connectFaceChanged(bool lineFree);
    // The tray menu's Connect/Disconnect item.
    void connectItemChanged(bool lineFree);
    // The connect command can be used (not while a busy line is redialled).
    void connectCommandEnabled(bool enabled);
    // Something else ended the connection (or a reconnect failed): the count
    // starts, and its window comes forward with the main window.
    void reconnectOffered();
    // The reconnect count ran out or was cancelled.
    void reconnectOfferClosed();
    // Something else ended the kept line; the reconnect count follows.
    void dropped();
    // The count ran out and the entry is dialled again.
    void reconnectStarted();
    // A dial or a reconnect failed, said before the session ends; the text is
    // the status line's.
    void dialFailed(const QString& statusText);
    // Thirty seconds before the disconnect timer's minute: the warning
    // count starts, and its window comes forward with the main window.
    void disconnectWarningStarted();
    void disconnectWarningClosed();
    // No entry is chosen and the user agreed to choose one.
    void entryWanted();
    // The modem is held by another program and the user still wants the extras.
    void extrasWanted();
    // The line is up: the extras start and the dial-up window is looked for.
    void connected();
    // The entries that can be dialled changed (profiles added, renamed or
    // removed while the program runs): the names as readEntryList() gives them.
    void entryListChanged(const QStringList& entries);

private:
    // The commands and the kept call's way up (LineKeeper.cpp).
    void setState(State state);
    void dialByUser();
    void hangUpByUser();
    bool modemInUse() const;
    // Dials the chosen entry as the kept call; reconnecting: a dial after a drop.
    void dialKeptEntry(bool reconnecting);
    void followCall(std::unique_ptr<Call> call);
    void onStage(CallState state);
    void onConnected();
    void onCallEnded(CallEnd how, DialUpError error);
    void onDialFailed(DialUpError error);
    void reportBusyLine();
    void reportNoDialTone();
    void redialBusyLine();
    void reportDialFailure(DialUpError error);
    void endSession();
    void showConnectCommand(bool lineFree);
    void showLineGone();
    QString errorTextOf(DialUpError error) const;
    // The one wording of a log line for a call that ended with an error:
    // "<what> (error N): <text>", then " - <device's detail>" where there is one.
    QString callEndLine(const QString& what, DialUpError error) const;
    void writeLogLine(const QString& message);
    void writeLogLines(const QStringList& messages);

    // The kept line's end, its return, and the disconnect timer (LineKeeperWatch.cpp).
    bool adoptLineUp(bool atStart);
    void keepLineUp(bool atStart);
    void showKeptLine();
    void onDropped();
    void onLimitReached();
    void onSourceGone();
    void onSourcesChanged();
    void lookForLineBack();
    void onCountEnded();
    void reconnectNow();
    bool retryAfterFailure(DialUpError error);
    void stopReconnectCount();
    void startDisconnectTimer();
    void warnOfDisconnect();
    void hangUpByDisconnectTimer();
    void onLinkDead(const QString& why);
    // The session of the kept line ends: it goes into the history.
    void recordSession(const QString& ending);

    Platform& m_platform;
    DialUpService& m_service;
    Settings& m_settings;
    EventLog& m_log;
    const UserOptions& m_options;

    QString m_entry;
    QString m_userName;
    QString m_password;
    State m_state = State::Idle;
    std::unique_ptr<Call> m_call;
    // The connect command shows Connect.
    bool m_lineFree = true;
    // The dial under way is a reconnect after a drop (its failure may be tried again).
    bool m_reconnecting = false;
    // A line of the chosen entry is looked for as soon as the sources are ready.
    bool m_adoptWhenReady = false;
    // The wait before the next try to reconnect.
    int m_retryWaitSeconds = 10;
    // When the session of the kept line came up; invalid while there is none.
    QDateTime m_sessionStart;
    // The sessions beside the log; none without a folder for it.
    std::unique_ptr<History> m_history;

    // The kept line's status shown once soon after it is up.
    WindowTimer m_firstLook;
    // The pause before a busy line is dialled again.
    WindowTimer m_busyRedial;
    // How long a source back from a restart may take to list the kept line
    // again before it counts as lost.
    WindowTimer m_sourceGrace;
    WindowTimer m_disconnectTimer;
    Countdown m_reconnectCount;
    Countdown m_disconnectWarning;
    std::unique_ptr<LinkCheck> m_linkCheck;
};

}  // namespace obu
