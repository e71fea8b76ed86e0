#include "dialup/modem/SerialModem.h"

#include <cerrno>

#include "platform/Clock.h"

namespace obu {

namespace {

constexpr int kTickMs = 20;

QByteArray asCommand(QByteArray text) {
    text.replace('\r', "").replace('\n', "");
    text = text.trimmed();
    if (!text.isEmpty() && !text.toUpper().startsWith("AT")) text.prepend("AT");
    return text;
}

}  // namespace

SerialModem::SerialModem(EventLoop& loop, Clock& clock, std::unique_ptr<ModemLink> link,
                         QString lockFolder, Timing timing)
    : loop_(loop),
      clock_(clock),
      link_(std::move(link)),
      lockFolder_(std::move(lockFolder)),
      timing_(timing) {}

SerialModem::~SerialModem() {
    stopTicking();
    active_ = false;
    if (phase_ != Phase::Connected && phase_ != Phase::Done && link_) link_->abandon();
    // Whatever is left of a hang-up is cut short: DTR down and the device closed
    // put any modem back on the hook.
    if (serial_.isOpen()) {
        serial_.setDtr(false);
        serial_.close();
    }
    if (phase_ != Phase::Connected) lock_.release();
}

std::uint32_t SerialModem::now() const {
    return clock_.millisecondsSinceStart();
}

void SerialModem::startTicking() {
    if (timer_) return;
    timer_ = loop_.startTimer(kTickMs, [this] { tick(); });
}

void SerialModem::stopTicking() {
    if (timer_) loop_.stopTimer(timer_);
    timer_ = 0;
}

bool SerialModem::report(CallState state, DialUpError error) {
    if (!active_) return false;
    if (error != 0 || state == CallState::Connected) active_ = false;
    const Report listener = report_;
    listener(state, error);
    return active_;
}

void SerialModem::dial(const LineRequest& request, Report listener) {
    // The password is kept only until the PPP stage has it, then wiped.
    request_ = request;
    report_ = std::move(listener);
    active_ = true;
    phase_ = Phase::WaitPort;
    phaseStart_ = now();
    if (!report(CallState::OpenPort, 0)) return;
    startTicking();
}

void SerialModem::fail(CallState state, DialUpError error, const QString& detail) {
    detail_ = detail;
    request_.password.fill('\0');
    if (link_) link_->abandon();
    // The report may destroy nothing (the service keeps busy devices), but it
    // may call hangUp(): start going on the hook first.
    startHangUp();
    report(state, error);
}

bool SerialModem::lockPort(const QByteArray& path) {
    switch (lock_.acquire(lockFolder_, path)) {
        case UucpLock::Result::InUse:
            fail(CallState::OpenPort, dialup_error::PortNotAvailable,
                 QStringLiteral("%1 is in use by process %2 (its lock is %3)")
                     .arg(QString::fromLocal8Bit(path))
                     .arg(lock_.holder())
                     .arg(QString::fromLocal8Bit(UucpLock::lockPath(lockFolder_, path))));
            return false;
        case UucpLock::Result::NotAFile:
            fail(CallState::OpenPort, dialup_error::PortNotAvailable,
                 QStringLiteral("the lock %1 is not a lock file (a link or not a regular file); "
                                "it is left alone, the device is not used")
                     .arg(QString::fromLocal8Bit(UucpLock::lockPath(lockFolder_, path))));
            return false;
        case UucpLock::Result::Taken:
        case UucpLock::Result::NoFolder:  // no lock folder to write in: go on without
        case UucpLock::Result::Failed:
            break;
    }
    return true;
}

void SerialModem::openPort(const QByteArray& path) {
    portName_ = path;
    if (!link_->portIsOurOwn() && !lockPort(path)) return;
    SerialPort::Settings settings;
    settings.speed = request_.entry.speed;
    settings.hardwareFlow = request_.entry.hardwareFlow;
    if (!serial_.open(path, settings)) {
        const int why = serial_.errorNumber();
        if (why == EACCES || why == EPERM) {
            fail(CallState::OpenPort, dialup_error::AccessDenied,
                 SerialPort::permissionAdvice(path));
            return;
        }
        const DialUpError code = (why == ENOENT || why == ENODEV || why == ENXIO || why == ENOTTY)
                                     ? dialup_error::DeviceDoesNotExist
                                     : dialup_error::PortNotAvailable;
        fail(CallState::OpenPort, code, serial_.error());
        return;
    }
    serial_.flushInput();
    if (!report(CallState::PortOpened, 0) || !report(CallState::ConnectDevice, 0)) return;
    commands_.clear();
    commands_ << "ATZ";
    const QByteArray init = asCommand(request_.entry.initString);
    if (!init.isEmpty()) commands_ << init;
    commands_ << (request_.entry.waitForDialTone ? "ATX4" : "ATX3");
    attempts_ = 0;
    phase_ = Phase::Commands;
    sendNext();
}

void SerialModem::send(const QByteArray& command) {
    lastCommand_ = command;
    sent_ << command;
    phaseStart_ = now();
    lastWrite_ = now();
    if (!serial_.write(command + '\r'))
        fail(CallState::ConnectDevice, dialup_error::PortOrDevice,
             QStringLiteral("cannot write to %1").arg(QString::fromLocal8Bit(portName_)));
}

void SerialModem::sendNext() {
    if (!commands_.isEmpty()) {
        send(commands_.front());
        return;
    }
    phase_ = Phase::Dialing;
    const QByteArray command = dialCommand(request_.entry.dialPrefix, request_.phoneNumber);
    send(command.chopped(1));
}

void SerialModem::onLine(const QByteArray& line) {
    // With echo on (E1) the modem repeats each command first.
    if (line.trimmed().compare(lastCommand_, Qt::CaseInsensitive) == 0) return;
    const ModemResult result = parseModemResult(line);
    if (result.kind == ModemResult::None || result.kind == ModemResult::Ring) return;
    if (phase_ == Phase::Commands)
        onCommandAnswer(result);
    else if (phase_ == Phase::Dialing)
        onDialResult(line, result);
}

void SerialModem::onCommandAnswer(const ModemResult& result) {
    if (result.kind == ModemResult::Ok) {
        commands_.pop_front();
        attempts_ = 0;
        sendNext();
    } else if (result.kind == ModemResult::Error) {
        fail(CallState::ConnectDevice, dialup_error::FromDevice,
             QStringLiteral("the modem refused the command %1")
                 .arg(QString::fromLatin1(lastCommand_)));
    }
}

void SerialModem::onDialResult(const QByteArray& line, const ModemResult& result) {
    if (const DialUpError error = dialFailure(result.kind)) {
        fail(CallState::ConnectDevice, error,
             QStringLiteral("the modem answered %1").arg(QString::fromLatin1(line.trimmed())));
        return;
    }
    // The port keeps its own speed: CONNECT's figure is the speed between
    // the two modems, not the one the computer talks to its modem at.
    online_ = true;
    if (!report(CallState::DeviceConnected, 0) || !report(CallState::AllDevicesConnected, 0))
        return;
    startPpp();
}

void SerialModem::startPpp() {
    DialUpError error = 0;
    QString detail;
    phase_ = Phase::Ppp;
    phaseStart_ = now();
    pppState_ = CallState::Authenticate;
    const bool started = link_->startPpp(serial_, lock_, request_, error, detail);
    request_.password.fill('\0');
    request_.password.clear();
    if (!started) {
        fail(CallState::Authenticate, error, detail);
        return;
    }
    carrierSeen_ = serial_.carrier().value_or(false);
}

void SerialModem::tick() {
    switch (phase_) {
        case Phase::WaitPort:
            waitForPort();
            return;
        case Phase::Commands:
        case Phase::Dialing:
            talkToModem();
            return;
        case Phase::Ppp:
            followPpp();
            return;
        case Phase::HangingUp: {
            const bool alive = serial_.readAvailable(input_);
            hangUpTick(alive);
            return;
        }
        case Phase::AwaitHolder:
            awaitHolderEnd();
            return;
        default:
            stopTicking();
            return;
    }
}

void SerialModem::waitForPort() {
    QByteArray path;
    DialUpError error = 0;
    QString detail;
    switch (link_->port(path, error, detail)) {
        case ModemLink::PortState::Pending:
            if (since(phaseStart_) > static_cast<std::uint32_t>(timing_.portTimeoutMs))
                fail(CallState::OpenPort, dialup_error::DeviceDoesNotExist,
                     QStringLiteral("the modem did not appear"));
            return;
        case ModemLink::PortState::Failed:
            fail(CallState::OpenPort, error, detail);
            return;
        case ModemLink::PortState::Ready:
            openPort(path);
            return;
    }
}

void SerialModem::talkToModem() {
    const bool alive = serial_.readAvailable(input_);
    for (const QByteArray& line : takeModemLines(input_)) {
        onLine(line);
        if (phase_ != Phase::Commands && phase_ != Phase::Dialing) return;
    }
    if (!alive) {
        fail(CallState::ConnectDevice,
             phase_ == Phase::Dialing ? dialup_error::NoCarrier : dialup_error::PortOrDevice,
             QStringLiteral("the modem went away"));
        return;
    }
    if (phase_ == Phase::Commands)
        checkCommandTimeout();
    else
        checkDialTimeout();
}

void SerialModem::checkCommandTimeout() {
    if (since(phaseStart_) <= static_cast<std::uint32_t>(timing_.commandTimeoutMs)) return;
    // A modem may miss the first command after power-up or while it
    // still resets: one more try before it counts as silent.
    if (++attempts_ < 2) {
        send(commands_.front());
        return;
    }
    fail(CallState::ConnectDevice, dialup_error::PortOrDevice,
         QStringLiteral("the modem does not answer %1").arg(QString::fromLatin1(lastCommand_)));
}

void SerialModem::checkDialTimeout() {
    if (since(phaseStart_) <= static_cast<std::uint32_t>(request_.entry.dialTimeoutSeconds) * 1000u)
        return;
    // Any character stops a modem that still dials.
    serial_.write("\r");
    fail(CallState::ConnectDevice, dialup_error::NoAnswer,
         QStringLiteral("no answer within %1 s").arg(request_.entry.dialTimeoutSeconds));
}

void SerialModem::followPpp() {
    std::vector<ModemLink::Event> events;
    QString detail;
    link_->pollPpp(events, detail);
    for (const ModemLink::Event& e : events) {
        if (e.error) {
            fail(e.state, e.error, detail);
            return;
        }
        pppState_ = e.state;
        if (e.state == CallState::Connected) {
            handOverLine();
            return;
        }
        if (!report(e.state, 0)) return;
    }
    // The modem's carrier, where the device can tell (a pseudo-terminal
    // cannot: there the link reports the line going away).
    if (const auto carrier = serial_.carrier()) {
        if (*carrier)
            carrierSeen_ = true;
        else if (carrierSeen_) {
            fail(pppState_, dialup_error::PortDisconnected,
                 QStringLiteral("the modem lost the carrier"));
            return;
        }
    }
    if (since(phaseStart_) > static_cast<std::uint32_t>(timing_.pppTimeoutMs))
        fail(pppState_, dialup_error::PppTimeout, QStringLiteral("PPP did not come up in time"));
}

void SerialModem::handOverLine() {
    // The holder has the line now: hand it the lock and let go of the
    // device without touching the line's settings.
    holder_ = link_->holder();
    if (holder_.pid > 0 && lock_.handOver(static_cast<pid_t>(holder_.pid))) {
        holder_.lockFile = lock_.path();
        lock_.detach();
    } else {
        lock_.release();
    }
    link_->release();
    serial_.close();
    phase_ = Phase::Connected;
    stopTicking();
    report(CallState::Connected, 0);
}

}  // namespace obu
