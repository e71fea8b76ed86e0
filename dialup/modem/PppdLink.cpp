#include "dialup/modem/PppdLink.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>

#include "dialup/modem/SerialPort.h"
#include "dialup/modem/UucpLock.h"

namespace obu {

namespace {

// Options that would make pppd dial a second time, leave the line, or read the
// account from somewhere else: the entry's options may not carry them.
bool refusedOption(const QByteArray& word, bool* takesArgument) {
    static const char* const withArgument[] = {"connect", "init",       "pty",        "socket",
                                               "+ua",     "password",   "passwordfd", "file",
                                               "logfd",   "disconnect", "welcome"};
    static const char* const alone[] = {"updetach", "detach",   "persist", "demand",
                                        "notty",    "nodetach", "lock",    "nolock"};
    for (const char* w : withArgument)
        if (word == w) {
            *takesArgument = true;
            return true;
        }
    for (const char* w : alone)
        if (word == w) {
            *takesArgument = false;
            return true;
        }
    return false;
}

QByteArray oneLine(QByteArray text) {
    text.replace('\r', "").replace('\n', "");
    return text;
}

}  // namespace

PppdLink::PppdLink(QByteArray device) : m_device(std::move(device)) {}

PppdLink::~PppdLink() {
    if (m_output >= 0) ::close(m_output);
    if (m_pid > 0 && !m_connected) {
        ::kill(m_pid, SIGTERM);
        adoptChild(m_pid);
    }
}

QByteArray PppdLink::program() {
    const QByteArray overridden = qgetenv("OBU_PPPD");
    if (!overridden.isEmpty()) return overridden;
    if (::access("/usr/sbin/pppd", X_OK) == 0) return "/usr/sbin/pppd";
    for (const QByteArray& dir : qgetenv("PATH").split(':')) {
        const QByteArray path = (dir.isEmpty() ? QByteArray(".") : dir) + "/pppd";
        if (::access(path.constData(), X_OK) == 0) return path;
    }
    return "/usr/sbin/pppd";
}

QList<QByteArray> PppdLink::arguments(const PhoneBookEntry& entry, const QByteArray& device,
                                      CallId handle) {
    QList<QByteArray> args;
    args << device;
    if (SerialPort::speedConstant(entry.speed)) args << QByteArray::number(entry.speed);
    // nodetach: pppd stays our child, so we read its messages and its exit.
    // lock: pppd takes the device's lock itself. The lock we took for the AT
    // dialogue is rewritten with pppd's pid before it runs, and pppd accepts a
    // lock that names it ("nolock" would be simpler but is refused to anyone
    // but root).
    args << "nodetach"
         << "logfd"
         << "1"
         << "lock";
    args << (entry.hardwareFlow ? "crtscts" : "nocrtscts");
    // The provider does not prove who it is to a dial-up client; a peer file
    // (PppPeer=) decides this itself.
    const QByteArray peer = entry.pppPeer.trimmed();
    const bool peerOk = !peer.isEmpty() && !peer.contains('/') && !peer.startsWith('.');
    if (!peerOk) args << "noauth";
    args << "+ua"
         << "/dev/fd/3";
    args << "ipparam"
         << "obu-" + QByteArray::number(handle, 16).rightJustified(8, '0').toUpper();
    if (peerOk) args << "call" << peer;
    const QList<QByteArray> words = entry.pppOptions.simplified().split(' ');
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QByteArray& w = words[i];
        if (w.isEmpty()) continue;
        bool takesArgument = false;
        if (refusedOption(w, &takesArgument)) {
            if (takesArgument) ++i;
            continue;
        }
        args << w;
    }
    return args;
}

QByteArray PppdLink::accountText(const QByteArray& user, const QByteArray& password) {
    // One line each: a line end inside either cannot be passed on.
    return oneLine(user) + '\n' + oneLine(password) + '\n';
}

DialUpError PppdLink::exitError(int status) {
    switch (status) {
        case 0:
            return dialup_error::RemoteDisconnection;  // the peer ended the link
        case 1:                                        // a fatal error inside pppd
        case 2:                                        // its options were refused
        case 3:                                        // not root, not setuid root
        case 9:                                        // the pty command could not run
            return dialup_error::PppNoProtocols;
        case 4:
            return dialup_error::CannotInitialize;  // no PPP in the kernel
        case 5:
            return dialup_error::Disconnection;  // ended by a signal: hung up here
        case 6:                                  // the port could not be locked
        case 7:                                  // or opened
            return dialup_error::PortNotAvailable;
        case 8:   // a connect script (from the user's own pppd options) failed
        case 18:  // an init script failed
            return dialup_error::FromDevice;
        case 10:
            return dialup_error::PppTimeout;  // negotiation never finished
        case 11:
            return dialup_error::PppLcpTerminated;  // the peer did not authenticate itself
        case 12:                                    // idle time-out
        case 13:                                    // connect-time limit
        case 14:                                    // callback (not supported here)
        case 20:                                    // traffic limit
            return dialup_error::Disconnection;
        case 15:
            return dialup_error::PppNoResponse;  // no answer to echo requests
        case 16:
            return dialup_error::PortDisconnected;  // the modem hung up
        case 17:
            return dialup_error::PppLoopback;  // the line loops back
        case 19:                               // our login was refused
        case 21:                               // caller-id check refused us
            return dialup_error::AuthenticationFailure;
        default:
            return dialup_error::FromDevice;
    }
}

QString PppdLink::exitText(int status) {
    static const char* const texts[] = {
        "the peer ended the link",
        "pppd met a fatal error",
        "pppd refused its options",
        "pppd must run as root or be setuid root",
        "the kernel has no PPP support",
        "pppd was ended by a signal",
        "the serial port could not be locked",
        "the serial port could not be opened",
        "the connect script failed",
        "the pty command could not be run",
        "the PPP negotiation failed",
        "the peer did not authenticate itself",
        "the link was idle too long",
        "the connect-time limit was reached",
        "the peer asked to call back",
        "the peer stopped answering echo requests",
        "the modem hung up",
        "the line loops back",
        "the init script failed",
        "the login was refused",
        "the traffic limit was reached",
        "the caller-id check failed",
    };
    if (status >= 0 && status <= 21)
        return QStringLiteral("pppd exit %1: %2").arg(status).arg(QLatin1String(texts[status]));
    return QStringLiteral("pppd exit %1").arg(status);
}

ModemLink::PortState PppdLink::port(QByteArray& path, DialUpError&, QString&) {
    path = m_device;
    return PortState::Ready;
}

bool PppdLink::startPpp(SerialPort&, UucpLock& lock, const LineRequest& request, DialUpError& error,
                        QString& detail) {
    int out[2];
    int account[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = dialup_error::NotEnoughMemory;
        detail = QStringLiteral("no pipe for pppd: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::pipe2(account, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        error = dialup_error::NotEnoughMemory;
        detail = QStringLiteral("no pipe for pppd: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The account fits the pipe's buffer many times over: written and closed
    // now, read by pppd whenever it gets to its options.
    QByteArray text = accountText(request.userName, request.password);
    const bool written = ::write(account[1], text.constData(), text.size()) == text.size();
    text.fill('\0');
    ::close(account[1]);
    SpawnOptions spawn;
    spawn.arguments << program();
    spawn.arguments += arguments(request.entry, m_device, request.handle);
    spawn.descriptors = {{account[0], 3}, {out[1], 1}, {out[1], 2}};
    spawn.newSession = true;
    spawn.beforeExec = [&lock](pid_t pid) {
        // Where the lock cannot be handed over, pppd is better off taking the
        // device's lock afresh than finding ours and refusing the line.
        if (lock.held() && !lock.handOver(pid)) lock.release();
        return true;
    };
    m_pid = written ? spawnProcess(spawn) : -1;
    const int why = errno;
    ::close(account[0]);
    ::close(out[1]);
    if (m_pid <= 0) {
        ::close(out[0]);
        error = dialup_error::PppNoProtocols;
        detail = QStringLiteral("cannot run %1: %2")
                     .arg(QString::fromLocal8Bit(spawn.arguments[0]),
                          QString::fromLocal8Bit(std::strerror(why)));
        return false;
    }
    m_process = processIdOf(m_pid);
    m_output = out[0];
    ::fcntl(m_output, F_SETFL, O_NONBLOCK);
    m_stage = CallState::Authenticate;
    return true;
}

std::optional<CallState> PppdLink::stageOfLine(const QByteArray& raw) {
    const QByteArray line = raw.trimmed();
    if (line.contains("authentication succeeded")) {
        m_authenticated = true;
        return CallState::Authenticated;
    }
    if (line.startsWith("local  IP address") || line.startsWith("local IP address"))
        m_haveLocal = true;
    else if (line.startsWith("remote IP address"))
        m_haveRemote = true;
    else {
        // The words of a failure, for the detail: pppd's own lines that say
        // what went wrong (the last such line counts).
        static const char* const signs[] = {
            "rror",         "ouldn't", "annot",     "nable",   "failed",  "refused", "privilege",
            "unrecognized", "lacks",   "ermission", "timeout", "No such", "locked"};
        for (const char* s : signs)
            if (line.contains(s)) {
                m_lastError = line.left(300);
                break;
            }
    }
    if (m_haveLocal && m_haveRemote) return CallState::Projected;
    return std::nullopt;
}

void PppdLink::pollPpp(std::vector<Event>& events, QString& detail) {
    if (m_ended) return;
    if (!m_announced) {
        // pppd runs: the login and the link's negotiation are under way.
        m_announced = true;
        events.push_back({CallState::Authenticate, 0});
    }
    if (m_output >= 0) {
        char buf[2048];
        for (;;) {
            const ssize_t n = ::read(m_output, buf, sizeof buf);
            if (n > 0) {
                m_pending.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) {
                ::close(m_output);
                m_output = -1;
                m_pending += '\n';
            }
            break;
        }
        qsizetype nl;
        while ((nl = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(nl);
            m_pending.remove(0, nl + 1);
            const std::optional<CallState> stage = stageOfLine(line);
            if (stage == CallState::Authenticated && m_stage < CallState::Authenticated) {
                m_stage = CallState::Authenticated;
                events.push_back({CallState::Authenticated, 0});
            } else if (stage == CallState::Projected && !m_connected) {
                // No authentication asked by the peer: it counts as passed.
                if (m_stage < CallState::Authenticated)
                    events.push_back({CallState::Authenticated, 0});
                events.push_back({CallState::Projected, 0});
                events.push_back({CallState::Connected, 0});
                m_stage = CallState::Connected;
                m_connected = true;
                return;
            }
        }
        if (m_pending.size() > 65536) m_pending.clear();
    }
    int status = 0;
    if (m_pid > 0 && reapChild(m_pid, &status)) {
        m_pid = -1;
        m_ended = true;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 5;
        detail = exitText(code);
        if (!m_lastError.isEmpty())
            detail += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(m_lastError));
        if (m_lastError.contains("noauth") && m_lastError.contains("privilege"))
            detail += QStringLiteral(
                "; a user who is not root names a file of /etc/ppp/peers that says noauth "
                "with PppPeer=");
        events.push_back({m_stage, exitError(code)});
    }
}

LineHolder PppdLink::holder() const {
    LineHolder h;
    h.pid = m_process.pid;
    h.start = m_process.start;
    h.kind = "pppd";
    return h;
}

void PppdLink::abandon() {
    if (m_pid > 0) {
        // pppd ends the link, drops DTR and exits; whoever reaps it is us,
        // later, without waiting here.
        ::kill(m_pid, SIGTERM);
        adoptChild(m_pid);
        m_pid = -1;
    }
    if (m_output >= 0) ::close(m_output);
    m_output = -1;
    m_ended = true;
}

void PppdLink::release() {
    // pppd holds the line by itself now. It stays our child while we live:
    // it is reaped when it ends so that it never lingers as a zombie.
    if (m_pid > 0) adoptChild(m_pid);
    m_pid = -1;
    if (m_output >= 0) ::close(m_output);
    m_output = -1;
}

}  // namespace obu
