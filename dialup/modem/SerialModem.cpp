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
    : m_loop(loop),
      m_clock(clock),
      m_link(std::move(link)),
      m_lockFolder(std::move(lockFolder)),
      m_timing(timing) {}

SerialModem::~SerialModem() {
    stopTicking();
    m_active = false;
    if (m_phase != Phase::Connected && m_phase != Phase::Done && m_link) m_link->abandon();
    // Whatever is left of a hang-up is cut short: DTR down and the device closed
    // put any modem back on the hook.
    if (m_serial.isOpen()) {
        m_serial.setDtr(false);
        m_serial.close();
    }
    if (m_phase != Phase::Connected) m_lock.release();
}

std::uint32_t SerialModem::now() const {
    return m_clock.millisecondsSinceStart();
}

void SerialModem::startTicking() {
    if (m_timer) return;
    m_timer = m_loop.startTimer(kTickMs, [this] { tick(); });
}

void SerialModem::stopTicking() {
    if (m_timer) m_loop.stopTimer(m_timer);
    m_timer = 0;
}

bool SerialModem::report(CallState state, DialUpError error) {
    if (!m_active) return false;
    if (error != 0 || state == CallState::Connected) m_active = false;
    const Report listener = m_report;
    listener(state, error);
    return m_active;
}

void SerialModem::dial(const LineRequest& request, Report listener) {
    // The password is kept only until the PPP stage has it, then wiped.
    m_request = request;
    m_report = std::move(listener);
    m_active = true;
    m_phase = Phase::WaitPort;
    m_phaseStart = now();
    if (!report(CallState::OpenPort, 0)) return;
    startTicking();
}

void SerialModem::fail(CallState state, DialUpError error, const QString& detail) {
    m_detail = detail;
    m_request.password.fill('\0');
    if (m_link) m_link->abandon();
    // The report may destroy nothing (the service keeps busy devices), but it
    // may call hangUp(): start going on the hook first.
    startHangUp();
    report(state, error);
}

bool SerialModem::lockPort(const QByteArray& path) {
    switch (m_lock.acquire(m_lockFolder, path)) {
        case UucpLock::Result::InUse:
            fail(CallState::OpenPort, dialup_error::PortNotAvailable,
                 QStringLiteral("%1 is in use by process %2 (its lock is %3)")
                     .arg(QString::fromLocal8Bit(path))
                     .arg(m_lock.holder())
                     .arg(QString::fromLocal8Bit(UucpLock::lockPath(m_lockFolder, path))));
            return false;
        case UucpLock::Result::NotAFile:
            fail(CallState::OpenPort, dialup_error::PortNotAvailable,
                 QStringLiteral("the lock %1 is not a lock file (a link or not a regular file); "
                                "it is left alone, the device is not used")
                     .arg(QString::fromLocal8Bit(UucpLock::lockPath(m_lockFolder, path))));
            return false;
        case UucpLock::Result::Taken:
        case UucpLock::Result::NoFolder:  // no lock folder to write in: go on without
        case UucpLock::Result::Failed:
            break;
    }
    return true;
}

void SerialModem::openPort(const QByteArray& path) {
    m_portName = path;
    if (!m_link->portIsOurOwn() && !lockPort(path)) return;
    SerialPort::Settings settings;
    settings.speed = m_request.entry.speed;
    settings.hardwareFlow = m_request.entry.hardwareFlow;
    if (!m_serial.open(path, settings)) {
        const int why = m_serial.errorNumber();
        if (why == EACCES || why == EPERM) {
            fail(CallState::OpenPort, dialup_error::AccessDenied,
                 SerialPort::permissionAdvice(path));
            return;
        }
        const DialUpError code = (why == ENOENT || why == ENODEV || why == ENXIO || why == ENOTTY)
                                     ? dialup_error::DeviceDoesNotExist
                                     : dialup_error::PortNotAvailable;
        fail(CallState::OpenPort, code, m_serial.error());
        return;
    }
    m_serial.flushInput();
    if (!report(CallState::PortOpened, 0) || !report(CallState::ConnectDevice, 0)) return;
    m_commands.clear();
    m_commands << "ATZ";
    const QByteArray init = asCommand(m_request.entry.initString);
    if (!init.isEmpty()) m_commands << init;
    m_commands << (m_request.entry.waitForDialTone ? "ATX4" : "ATX3");
    m_attempts = 0;
    m_phase = Phase::Commands;
    sendNext();
}

void SerialModem::send(const QByteArray& command) {
    m_lastCommand = command;
    m_sent << command;
    m_phaseStart = now();
    m_lastWrite = now();
    if (!m_serial.write(command + '\r'))
        fail(CallState::ConnectDevice, dialup_error::PortOrDevice,
             QStringLiteral("cannot write to %1").arg(QString::fromLocal8Bit(m_portName)));
}

void SerialModem::sendNext() {
    if (!m_commands.isEmpty()) {
        send(m_commands.front());
        return;
    }
    m_phase = Phase::Dialing;
    const QByteArray command = dialCommand(m_request.entry.dialPrefix, m_request.phoneNumber);
    send(command.chopped(1));
}

void SerialModem::onLine(const QByteArray& line) {
    // With echo on (E1) the modem repeats each command first.
    if (line.trimmed().compare(m_lastCommand, Qt::CaseInsensitive) == 0) return;
    const ModemResult result = parseModemResult(line);
    if (result.kind == ModemResult::None || result.kind == ModemResult::Ring) return;
    if (m_phase == Phase::Commands)
        onCommandAnswer(result);
    else if (m_phase == Phase::Dialing)
        onDialResult(line, result);
}

void SerialModem::onCommandAnswer(const ModemResult& result) {
    if (result.kind == ModemResult::Ok) {
        m_commands.pop_front();
        m_attempts = 0;
        sendNext();
    } else if (result.kind == ModemResult::Error) {
        fail(CallState::ConnectDevice, dialup_error::FromDevice,
             QStringLiteral("the modem refused the command %1")
                 .arg(QString::fromLatin1(m_lastCommand)));
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
    m_online = true;
    if (!report(CallState::DeviceConnected, 0) || !report(CallState::AllDevicesConnected, 0))
        return;
    startPpp();
}

void SerialModem::startPpp() {
    DialUpError error = 0;
    QString detail;
    m_phase = Phase::Ppp;
    m_phaseStart = now();
    m_pppState = CallState::Authenticate;
    const bool started = m_link->startPpp(m_serial, m_lock, m_request, error, detail);
    m_request.password.fill('\0');
    m_request.password.clear();
    if (!started) {
        fail(CallState::Authenticate, error, detail);
        return;
    }
    m_carrierSeen = m_serial.carrier().value_or(false);
}

void SerialModem::tick() {
    switch (m_phase) {
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
            const bool alive = m_serial.readAvailable(m_input);
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
    switch (m_link->port(path, error, detail)) {
        case ModemLink::PortState::Pending:
            if (since(m_phaseStart) > static_cast<std::uint32_t>(m_timing.portTimeoutMs))
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
    const bool alive = m_serial.readAvailable(m_input);
    for (const QByteArray& line : takeModemLines(m_input)) {
        onLine(line);
        if (m_phase != Phase::Commands && m_phase != Phase::Dialing) return;
    }
    if (!alive) {
        fail(CallState::ConnectDevice,
             m_phase == Phase::Dialing ? dialup_error::NoCarrier : dialup_error::PortOrDevice,
             QStringLiteral("the modem went away"));
        return;
    }
    if (m_phase == Phase::Commands)
        checkCommandTimeout();
    else
        checkDialTimeout();
}

void SerialModem::checkCommandTimeout() {
    if (since(m_phaseStart) <= static_cast<std::uint32_t>(m_timing.commandTimeoutMs)) return;
    // A modem may miss the first command after power-up or while it
    // still resets: one more try before it counts as silent.
    if (++m_attempts < 2) {
        send(m_commands.front());
        return;
    }
    fail(CallState::ConnectDevice, dialup_error::PortOrDevice,
         QStringLiteral("the modem does not answer %1").arg(QString::fromLatin1(m_lastCommand)));
}

void SerialModem::checkDialTimeout() {
    if (since(m_phaseStart) <=
        static_cast<std::uint32_t>(m_request.entry.dialTimeoutSeconds) * 1000u)
        return;
    // Any character stops a modem that still dials.
    m_serial.write("\r");
    fail(CallState::ConnectDevice, dialup_error::NoAnswer,
         QStringLiteral("no answer within %1 s").arg(m_request.entry.dialTimeoutSeconds));
}

void SerialModem::followPpp() {
    std::vector<ModemLink::Event> events;
    QString detail;
    m_link->pollPpp(events, detail);
    for (const ModemLink::Event& e : events) {
        if (e.error) {
            fail(e.state, e.error, detail);
            return;
        }
        m_pppState = e.state;
        if (e.state == CallState::Connected) {
            handOverLine();
            return;
        }
        if (!report(e.state, 0)) return;
    }
    // The modem's carrier, where the device can tell (a pseudo-terminal
    // cannot: there the link reports the line going away).
    if (const auto carrier = m_serial.carrier()) {
        if (*carrier)
            m_carrierSeen = true;
        else if (m_carrierSeen) {
            fail(m_pppState, dialup_error::PortDisconnected,
                 QStringLiteral("the modem lost the carrier"));
            return;
        }
    }
    if (since(m_phaseStart) > static_cast<std::uint32_t>(m_timing.pppTimeoutMs))
        fail(m_pppState, dialup_error::PppTimeout, QStringLiteral("PPP did not come up in time"));
}

void SerialModem::handOverLine() {
    // The holder has the line now: hand it the lock and let go of the
    // device without touching the line's settings.
    m_holder = m_link->holder();
    if (m_holder.pid > 0 && m_lock.handOver(static_cast<pid_t>(m_holder.pid))) {
        m_holder.lockFile = m_lock.path();
        m_lock.detach();
    } else {
        m_lock.release();
    }
    m_link->release();
    m_serial.close();
    m_phase = Phase::Connected;
    stopTicking();
    report(CallState::Connected, 0);
}

}  // namespace obu
