#include "dialup/modem/EmulatorLink.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace obu {

EmulatorLink::EmulatorLink(QByteArray program, const LineRequest& request)
    : m_program(std::move(program)), m_arguments(arguments(request)) {}

EmulatorLink::~EmulatorLink() {
    if (!m_connected) abandon();
    closeControl();
}

QByteArray EmulatorLink::defaultProgram() {
    const QByteArray overridden = qgetenv("OBU_MODEM_PROGRAM");
    if (!overridden.isEmpty()) return overridden;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = 0;
        const QByteArray beside =
            QFileInfo(QString::fromLocal8Bit(self)).absolutePath().toLocal8Bit() + "/obu-modem";
        if (::access(beside.constData(), X_OK) == 0) return beside;
    }
    for (const QByteArray& dir : qgetenv("PATH").split(':')) {
        const QByteArray path = (dir.isEmpty() ? QByteArray(".") : dir) + "/obu-modem";
        if (::access(path.constData(), X_OK) == 0) return path;
    }
    return "obu-modem";
}

QList<QByteArray> EmulatorLink::arguments(const LineRequest& request) {
    const PhoneBookEntry& e = request.entry;
    QList<QByteArray> args;
    args << "--hold"
         << "3";
    args << "--reset-ms" << QByteArray::number(e.portDelayMs);
    args << "--ring-ms" << QByteArray::number(e.dialDelayMs);
    args << "--auth-ms" << QByteArray::number(e.authDelayMs);
    args << "--project-ms" << QByteArray::number(e.projectDelayMs);
    const char* answer = "connect";
    switch (e.failure) {
        case LineFailure::Busy:
            answer = "busy";
            break;
        case LineFailure::NoDialTone:
            answer = "no-dialtone";
            break;
        case LineFailure::NoAnswer:
            answer = "no-answer";
            break;
        case LineFailure::NoCarrier:
            answer = "no-carrier";
            break;
        case LineFailure::ModemError:
            answer = "error";
            break;
        case LineFailure::Login:
            args << "--ppp-fail"
                 << "login";
            break;
        case LineFailure::LineDrop:
            args << "--ppp-fail"
                 << "line-drop";
            break;
        case LineFailure::PppTimeout:
            args << "--ppp-fail"
                 << "ppp-timeout";
            break;
        case LineFailure::None:
            break;
    }
    args << "--answer" << answer;
    if (e.busyCount > 0) {
        args << "--busy-count" << QByteArray::number(e.busyCount);
        if (!request.linesDir.isEmpty())
            args << "--line-memory" << QFile::encodeName(request.linesDir);
    }
    if (e.dropAfterSeconds > 0) args << "--drop-after" << QByteArray::number(e.dropAfterSeconds);
    if (!request.recordPath.isEmpty()) args << "--record" << QFile::encodeName(request.recordPath);
    return args;
}

bool EmulatorLink::readLines(QList<QByteArray>& lines) {
    if (m_control < 0) return false;
    char buf[1024];
    bool open = true;
    for (;;) {
        const ssize_t n = ::read(m_control, buf, sizeof buf);
        if (n > 0) {
            m_input.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) open = false;
        break;
    }
    qsizetype nl;
    while ((nl = m_input.indexOf('\n')) >= 0) {
        lines << m_input.left(nl);
        m_input.remove(0, nl + 1);
    }
    if (m_input.size() > 4096) m_input.clear();
    return open;
}

ModemLink::PortState EmulatorLink::port(QByteArray& path, DialUpError& error, QString& detail) {
    if (!m_started) {
        m_started = true;
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            error = dialup_error::NotEnoughMemory;
            detail = QStringLiteral("no socket for the modem emulator: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return PortState::Failed;
        }
        SpawnOptions spawn;
        spawn.arguments << m_program;
        spawn.arguments += m_arguments;
        spawn.descriptors = {{pair[1], 3}};
        spawn.detached = true;
        const pid_t pid = spawnProcess(spawn);
        const int why = errno;
        ::close(pair[1]);
        if (pid <= 0) {
            ::close(pair[0]);
            error = dialup_error::DeviceDoesNotExist;
            detail = QStringLiteral("cannot start the modem emulator %1: %2")
                         .arg(QString::fromLocal8Bit(m_program),
                              QString::fromLocal8Bit(std::strerror(why)));
            return PortState::Failed;
        }
        m_process = processIdOf(pid);
        m_control = pair[0];
        ::fcntl(m_control, F_SETFL, O_NONBLOCK);
    }
    QList<QByteArray> lines;
    const bool open = readLines(lines);
    for (const QByteArray& line : lines) {
        if (line.startsWith("PORT ")) {
            path = line.mid(5).trimmed();
            return PortState::Ready;
        }
    }
    if (!open) {
        error = dialup_error::DeviceDoesNotExist;
        detail = QStringLiteral("the modem emulator ended before it had a port");
        return PortState::Failed;
    }
    return PortState::Pending;
}

bool EmulatorLink::startPpp(SerialPort&, UucpLock&, const LineRequest& request, DialUpError& error,
                            QString& detail) {
    const auto enc = [](const QByteArray& v) {
        return v.isEmpty() ? QByteArray("-") : v.toPercentEncoding();
    };
    QByteArray message = "PPP " + enc(request.userName) + ' ' + enc(request.password) + ' ' +
                         enc(request.entry.acceptUser) + ' ' + enc(request.entry.acceptPassword) +
                         '\n';
    const bool sent = m_control >= 0 && ::send(m_control, message.constData(), message.size(),
                                               MSG_NOSIGNAL) == message.size();
    message.fill('\0');
    if (!sent) {
        error = dialup_error::PortDisconnected;
        detail = QStringLiteral("the modem emulator went away");
        return false;
    }
    m_stage = CallState::Authenticate;
    return true;
}

void EmulatorLink::pollPpp(std::vector<Event>& events, QString& detail) {
    QList<QByteArray> lines;
    const bool open = readLines(lines);
    for (const QByteArray& line : lines) {
        const QList<QByteArray> w = line.split(' ');
        if (w.size() >= 2 && w[0] == "STAGE") {
            m_stage = static_cast<CallState>(w[1].toUInt());
            events.push_back({m_stage, dialup_error::None});
            if (m_stage == CallState::Connected) {
                m_connected = true;
                return;
            }
        } else if (w.size() >= 3 && w[0] == "FAIL") {
            events.push_back({static_cast<CallState>(w[1].toUInt()), w[2].toUInt()});
            detail = QStringLiteral("the provider ended the call");
            return;
        }
    }
    if (!open) {
        // The emulator ended: its line dropped under the PPP stage.
        events.push_back({m_stage, dialup_error::PortDisconnected});
        detail = QStringLiteral("the line dropped");
        closeControl();
    }
}

LineHolder EmulatorLink::holder() const {
    LineHolder h;
    h.pid = m_process.pid;
    h.start = m_process.start;
    h.kind = "emulator";
    return h;
}

void EmulatorLink::closeControl() {
    if (m_control >= 0) ::close(m_control);
    m_control = -1;
}

void EmulatorLink::abandon() {
    closeControl();
    if (m_process && !m_connected && processAlive(m_process))
        ::kill(static_cast<pid_t>(m_process.pid), SIGTERM);
}

void EmulatorLink::release() {
    m_connected = true;
    closeControl();
}

}  // namespace obu
