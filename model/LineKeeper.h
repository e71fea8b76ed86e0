#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include "dialup/DialUpCall.h"
#include "dialup/DialUpService.h"
#include "model/Countdown.h"
#include "platform/WindowTimer.h"

namespace obu {

struct Platform;
class EventLog;
class UserOptions;
class Settings;

// The largest number of minutes the disconnect timer offers.
constexpr int kMaxDisconnectMinutes = 1000;
// The minutes the disconnect timer uses for a stored value.
int disconnectTimerMinutes(int stored);

// Looks after the one dial-up connection: dials the chosen entry and hangs
// up, redials a busy line when the option says so, notices a connection that
// something else ended and offers to dial it again after a ten-second count,
// warns thirty seconds before the disconnect timer hangs up, and finds a
// connection that is up already. It writes the log and asks its questions
// through the platform's message boxes; what the windows show it announces
// by its signals.
class LineKeeper : public QObject {
    Q_OBJECT
public:
    LineKeeper(Platform& platform, Settings& settings, EventLog& log, const UserOptions& options);
    // A connection that is up stays up.
    ~LineKeeper() override;

    // Whether the connect command dials (the line is free) or hangs up.
    bool readyToConnect() const { return m_readyToConnect; }
    // From the user's connect (or the alarm's) until the user, the program or
    // a failed dial ends it; an alarm does not dial while it lasts.
    bool sessionActive() const { return m_sessionActive; }
    // The connection found by the last look at the service; 0 before any.
    CallId detectedCall() const { return m_detectedCall; }
    // The program's own call: the entry it dials and the call it holds.
    const DialUpCall& call() const { return m_call; }
    // While a dial of the program's own is on its way, a busy line or a
    // missing dial tone is looked for twice a second.
    bool monitoringDial() const { return m_lineMonitor.enabled(); }
    // While the program looks after a connection that is up.
    bool watchingForDrop() const { return m_dropWatch.enabled(); }
    // Milliseconds from the connection to the disconnect warning while the
    // disconnect timer runs; 0 while it does not.
    int disconnectWarningAfterMs() const;
    // The two counts that the countdown windows show.
    const Countdown& reconnectCountdown() const { return m_reconnectCount; }
    const Countdown& disconnectCountdown() const { return m_disconnectWarning; }

    // The entry to dial with its user name and password.
    void chooseEntry(const QString& entry, const QString& userName, const QString& password);
    // The phone book's first names, read again.
    QStringList readEntryList();

    // The connect command: dials when the line is free, hangs up otherwise.
    void toggleConnection();
    // At start: a connection that is up already becomes the session.
    void adoptConnectionAtStart();
    // When the splash window gives way: dials if the option says so and no
    // line was found up.
    void connectOnStart();
    // Whether the alarm may dial now: the modem free and no session going on.
    bool mayDialAtAlarm() const;
    // Announces the connect command's face and the tray item's caption for
    // the line as it is, and as free whatever it is (the tray menu's
    // Disconnect leaves them so).
    void showLineState();
    void showLineFree();
    // The user cancelled the reconnect count: the session ends.
    void cancelReconnect();
    // The user cancelled the disconnect warning: the line stays up.
    void cancelDisconnectWarning();
    // The disconnect timer and a warning already counting end.
    void stopDisconnectTimer();
    // The program ends: nothing more is watched. The disconnect timer is
    // left alone, as ending the program never hangs up.
    void stopWatching();

signals:
    // The status line's text.
    void statusChanged(const QString& text);
    // The connect command's face on the main window: Connect while the line is free.
    void connectFaceChanged(bool lineFree);
    // The tray menu's Connect/Disconnect item.
    void connectItemChanged(bool lineFree);
    // The connect command can be used (not while a busy line is redialled).
    void connectCommandEnabled(bool enabled);
    // Something else ended the connection: the reconnect count starts, and
    // its window comes forward with the main window.
    void reconnectOffered();
    // The reconnect count ran out or was cancelled.
    void reconnectOfferClosed();
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

private:
    // Connect command and dial events (LineKeeper.cpp).
    void dial();
    void hangUpByUser();
    bool modemInUse() const;
    std::int32_t dialOwnCall();
    QString serviceErrorText(std::int32_t error) const;
    // The one wording of a log line for a call that ended with an error:
    // "<what> (error N): <text>", then " - <device's detail>" where there is one.
    static QString callEndLine(const QString& what, std::int32_t error, const QString& errorText,
                               const QString& detail);
    void reportDialFailure(std::int32_t error, const QString& errorText);
    void onDialStage(CallState state);
    void onConnected();
    void onDisconnected();
    void onDialFailed(DialUpError error, const QString& errorText);
    void checkForBusyLine();
    void redialBusyLine();
    void hangUpLeftovers();
    void reconnectNow();
    void showConnectCommand(bool lineFree);
    void writeLogLine(const QString& message);
    void writeLogLines(const QStringList& messages);

    // Detection, the drop watch and the disconnect timer (LineKeeperWatch.cpp).
    bool detectConnection();
    void startDropWatch();
    void onDropWatchTick();
    void checkForDrop();
    bool endedByItsOwnLimit();
    void startDisconnectTimer();
    void warnOfDisconnect();
    void hangUpByDisconnectTimer();

    Platform& m_platform;
    DialUpService& m_service;
    Settings& m_settings;
    EventLog& m_log;
    const UserOptions& m_options;

    DialUpCall m_call;
    bool m_sessionActive = false;
    // The program ended the line itself, so its end is no drop.
    bool m_hungUpBySelf = false;
    bool m_readyToConnect = true;
    CallId m_detectedCall = 0;

    WindowTimer m_lineMonitor;
    // The drop watch's first look soon after it starts, then its safety looks.
    WindowTimer m_dropWatch;
    WindowTimer m_disconnectTimer;
    Countdown m_reconnectCount;
    Countdown m_disconnectWarning;
};

}  // namespace obu
