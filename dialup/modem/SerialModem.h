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
    QByteArray port() const override { return portName_; }
    QString failureDetail() const override { return detail_; }
    LineHolder holder() const override { return holder_; }
    bool busy() const override {
        return phase_ == Phase::HangingUp || phase_ == Phase::AwaitHolder;
    }
    // For a line that another process held (pppd, told to end by a hang-up from
    // here): waits for that process to end (SIGKILL after 10 s), then takes the
    // device's lock, puts the modem back on the hook ("+++", ATH0, DTR) and
    // removes the lock. Nothing is reported.
    void releaseAfter(const QByteArray& device, const LineHolder& holder);

    // Every command written to the modem, in order (for the log of a call).
    const QList<QByteArray>& sent() const { return sent_; }

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

    EventLoop& loop_;
    Clock& clock_;
    std::unique_ptr<ModemLink> link_;
    QString lockFolder_;
    Timing timing_;
    LineRequest request_;
    Report report_;
    EventLoop::TimerId timer_ = 0;
    bool active_ = false;

    Phase phase_ = Phase::Idle;
    SerialPort serial_;
    UucpLock lock_;
    QByteArray portName_;
    QByteArray input_;
    QList<QByteArray> commands_;
    QByteArray lastCommand_;
    QList<QByteArray> sent_;
    int attempts_ = 0;
    std::uint32_t phaseStart_ = 0;
    std::uint32_t lastWrite_ = 0;
    bool online_ = false;
    bool carrierSeen_ = false;
    CallState pppState_ = CallState::Authenticate;
    HangStep hangStep_ = HangStep::Close;
    std::uint32_t hangStart_ = 0;
    QString detail_;
    LineHolder holder_;
    bool holderKilled_ = false;
};

}  // namespace obu
