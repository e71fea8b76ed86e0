#pragma once
#include <QList>
#include <memory>

#include "dialup/modem/LineDevice.h"
#include "dialup/modem/ModemLink.h"
#include "dialup/modem/ModemResponses.h"
#include "dialup/modem/SerialPort.h"
#include "dialup/modem/UucpLock.h"
#include "platform/EventLoop.h"

namespace obu {

class Clock;

// A Hayes modem on a serial device, driven with AT commands: it takes the
// device's UUCP lock, opens it, resets and sets up the modem, dials, reads the
// result, and hands the connected line to the PPP stage of its link. It never
// blocks: the device is non-blocking and read on the loop's timer, and every
// wait is a deadline on that timer.
//
// Stages: OpenPort (lock, open), PortOpened, ConnectDevice (ATZ, the init
// string, ATX4 or ATX3, the dial), DeviceConnected and AllDevicesConnected on
// CONNECT, then the PPP stage: Authenticate, Authenticated, Projected,
// Connected. Failures:
//   lock held by a live process, device busy                    633 at OpenPort
//   device not permitted to this user (detail: the group)         5 at OpenPort
//   device missing or not a serial device                       608 at OpenPort
//   modem silent to a command (two tries of ATZ, 5 s each)      692 at ConnectDevice
//   ERROR to a command or to the dial                           651 at ConnectDevice
//   BUSY 676, NO DIALTONE 680, NO CARRIER 679, NO ANSWER 678    at ConnectDevice
//   no result within the entry's DialTimeout                    678 at ConnectDevice
//   carrier lost (DCD down, or the device gone) during PPP      619 at the PPP stage
//   the PPP stage's own failures (691, 718, …)                  at their stage
// After a failure, and on hangUp(), the modem goes back on the hook: when it is
// online, "+++" between guard times and ATH0; DTR dropped; the device closed
// and its lock removed.
class SerialModem : public LineDevice {
public:
    struct Timing {
        int commandTimeoutMs = 5000;
        int guardMs = 1100;  // silence around "+++"
        int pppTimeoutMs = 120000;
        int portTimeoutMs = 15000;
    };

    SerialModem(EventLoop& loop, Clock& clock, std::unique_ptr<ModemLink> link, QString lockFolder,
                Timing timing);
    SerialModem(EventLoop& loop, Clock& clock, std::unique_ptr<ModemLink> link, QString lockFolder)
        : SerialModem(loop, clock, std::move(link), std::move(lockFolder), Timing{}) {}
    ~SerialModem() override;

    void dial(const LineRequest& request, Report report) override;
    void hangUp() override;
    QByteArray port() const override { return m_portName; }
    QString failureDetail() const override { return m_detail; }
    LineHolder holder() const override { return m_holder; }
    bool busy() const override {
        return m_phase == Phase::HangingUp || m_phase == Phase::AwaitHolder;
    }
    // For a line that another process held (pppd, told to end by a hang-up from
    // here): waits for that process to end (SIGKILL after 10 s), then takes the
    // device's lock, puts the modem back on the hook ("+++", ATH0, DTR) and
    // removes the lock. Nothing is reported.
    void releaseAfter(const QByteArray& device, const LineHolder& holder);

    // Every command written to the modem, in order (for the log of a call).
    const QList<QByteArray>& sent() const { return m_sent; }

private:
    enum class Phase {
        Idle,
        WaitPort,
        Commands,
        Dialing,
        Ppp,
        Connected,
        AwaitHolder,
        HangingUp,
        Done
    };
    enum class HangStep { Guard, AwaitEscape, Hook, AwaitHook, Dtr, Close };

    // One step of the current phase, every tick of the loop's timer.
    void tick();
    void startTicking();
    void stopTicking();
    // WaitPort: the link names the device, or fails, or takes too long.
    void waitForPort();
    void openPort(const QByteArray& path);
    // The device's UUCP lock; false when the call has failed for it.
    bool lockPort(const QByteArray& path);
    // Commands and Dialing: the modem's answers, and its silence.
    void talkToModem();
    void checkCommandTimeout();
    void checkDialTimeout();
    void sendNext();
    void send(const QByteArray& command);
    void onLine(const QByteArray& line);
    void onCommandAnswer(const ModemResult& result);
    void onDialResult(const QByteArray& line, const ModemResult& result);
    // Ppp: the link's stages, the carrier, the deadline; then the line goes
    // to its holder.
    void startPpp();
    void followPpp();
    void handOverLine();
    // AwaitHolder: the holder's end, then the modem back on the hook.
    void awaitHolderEnd();
    void fail(CallState state, DialUpError error, const QString& detail);
    bool report(CallState state, DialUpError error);
    void startHangUp();
    void hangUpTick(bool portAlive);
    void finishHangUp();
    std::uint32_t now() const;
    std::uint32_t since(std::uint32_t then) const { return now() - then; }

    EventLoop& m_loop;
    Clock& m_clock;
    std::unique_ptr<ModemLink> m_link;
    QString m_lockFolder;
    Timing m_timing;
    LineRequest m_request;
    Report m_report;
    EventLoop::TimerId m_timer = 0;
    bool m_active = false;

    Phase m_phase = Phase::Idle;
    SerialPort m_serial;
    UucpLock m_lock;
    QByteArray m_portName;
    QByteArray m_input;
    QList<QByteArray> m_commands;
    QByteArray m_lastCommand;
    QList<QByteArray> m_sent;
    int m_attempts = 0;
    std::uint32_t m_phaseStart = 0;
    std::uint32_t m_lastWrite = 0;
    bool m_online = false;
    bool m_carrierSeen = false;
    CallState m_pppState = CallState::Authenticate;
    HangStep m_hangStep = HangStep::Close;
    std::uint32_t m_hangStart = 0;
    QString m_detail;
    LineHolder m_holder;
    bool m_holderKilled = false;
};

}  // namespace obu
