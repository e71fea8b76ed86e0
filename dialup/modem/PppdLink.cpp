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

PppdLink::PppdLink(QByteArray device) : device_(std::move(device)) {}

PppdLink::~PppdLink() {
    if (output_ >= 0) ::close(output_);
    if (pid_ > 0 && !connected_) {
        ::kill(pid_, SIGTERM);
        adoptChild(pid_);
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
    path = device_;
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
    spawn.arguments += arguments(request.entry, device_, request.handle);
    spawn.descriptors = {{account[0], 3}, {out[1], 1}, {out[1], 2}};
    spawn.newSession = true;
    spawn.beforeExec = [&lock](pid_t pid) {
        // Where the lock cannot be handed over, pppd is better off taking the
        // device's lock afresh than finding ours and refusing the line.
        if (lock.held() && !lock.handOver(pid)) lock.release();
        return true;
    };
    pid_ = written ? spawnProcess(spawn) : -1;
    const int why = errno;
    ::close(account[0]);
    ::close(out[1]);
    if (pid_ <= 0) {
        ::close(out[0]);
        error = dialup_error::PppNoProtocols;
        detail = QStringLiteral("cannot run %1: %2")
                     .arg(QString::fromLocal8Bit(spawn.arguments[0]),
                          QString::fromLocal8Bit(std::strerror(why)));
        return false;
    }
    process_ = processIdOf(pid_);
    output_ = out[0];
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
    stage_ = CallState::Authenticate;
    return true;
}

std::optional<CallState> PppdLink::stageOfLine(const QByteArray& raw) {
    const QByteArray line = raw.trimmed();
    if (line.contains("authentication succeeded")) {
        authenticated_ = true;
        return CallState::Authenticated;
    }
    if (line.startsWith("local  IP address") || line.startsWith("local IP address"))
        haveLocal_ = true;
    else if (line.startsWith("remote IP address"))
        haveRemote_ = true;
    else {
        // The words of a failure, for the detail: pppd's own lines that say
        // what went wrong (the last such line counts).
        static const char* const signs[] = {
            "rror",         "ouldn't", "annot",     "nable",   "failed",  "refused", "privilege",
            "unrecognized", "lacks",   "ermission", "timeout", "No such", "locked"};
        for (const char* s : signs)
            if (line.contains(s)) {
                lastError_ = line.left(300);
                break;
            }
    }
    if (haveLocal_ && haveRemote_) return CallState::Projected;
    return std::nullopt;
}

void PppdLink::pollPpp(std::vector<Event>& events, QString& detail) {
    if (ended_) return;
    if (!announced_) {
        // pppd runs: the login and the link's negotiation are under way.
        announced_ = true;
        events.push_back({CallState::Authenticate, 0});
    }
    if (output_ >= 0) {
        char buf[2048];
        for (;;) {
            const ssize_t n = ::read(output_, buf, sizeof buf);
            if (n > 0) {
                pending_.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) {
                ::close(output_);
                output_ = -1;
                pending_ += '\n';
            }
            break;
        }
        qsizetype nl;
        while ((nl = pending_.indexOf('\n')) >= 0) {
            const QByteArray line = pending_.left(nl);
            pending_.remove(0, nl + 1);
            const std::optional<CallState> stage = stageOfLine(line);
            if (stage == CallState::Authenticated && stage_ < CallState::Authenticated) {
                stage_ = CallState::Authenticated;
                events.push_back({CallState::Authenticated, 0});
            } else if (stage == CallState::Projected && !connected_) {
                // No authentication asked by the peer: it counts as passed.
                if (stage_ < CallState::Authenticated)
                    events.push_back({CallState::Authenticated, 0});
                events.push_back({CallState::Projected, 0});
                events.push_back({CallState::Connected, 0});
                stage_ = CallState::Connected;
                connected_ = true;
                return;
            }
        }
        if (pending_.size() > 65536) pending_.clear();
    }
    int status = 0;
    if (pid_ > 0 && reapChild(pid_, &status)) {
        pid_ = -1;
        ended_ = true;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 5;
        detail = exitText(code);
        if (!lastError_.isEmpty())
            detail += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(lastError_));
        if (lastError_.contains("noauth") && lastError_.contains("privilege"))
            detail += QStringLiteral(
                "; a user who is not root names a file of /etc/ppp/peers that says noauth "
                "with PppPeer=");
        events.push_back({stage_, exitError(code)});
    }
}

LineHolder PppdLink::holder() const {
    LineHolder h;
    h.pid = process_.pid;
    h.start = process_.start;
    h.kind = "pppd";
    return h;
}

void PppdLink::abandon() {
    if (pid_ > 0) {
        // pppd ends the link, drops DTR and exits; whoever reaps it is us,
        // later, without waiting here.
        ::kill(pid_, SIGTERM);
        adoptChild(pid_);
        pid_ = -1;
    }
    if (output_ >= 0) ::close(output_);
    output_ = -1;
    ended_ = true;
}

void PppdLink::release() {
    // pppd holds the line by itself now. It stays our child while we live:
    // it is reaped when it ends so that it never lingers as a zombie.
    if (pid_ > 0) adoptChild(pid_);
    pid_ = -1;
    if (output_ >= 0) ::close(output_);
    output_ = -1;
}

}  // namespace obu
