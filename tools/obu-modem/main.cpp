// obu-modem: a Hayes-compatible modem on a pseudo-terminal. Run by itself it
// prints the device that other programs (minicom, chat, our own dialer) open,
// and answers AT commands as a modem with a far end behind it does. The dial-up
// service starts one for each call of a demo entry ("--hold"): then it also
// plays the PPP stage for that call and holds the connection until it ends.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QCommandLineParser>
#include <QFile>
#include <QString>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "dialup/DialUpService.h"
#include "dialup/modem/UucpLock.h"
#include "dialup/phonebook/ConnectionRegistry.h"
#include "platform/CommandLineUsage.h"
#include "platform/SystemClock.h"
#include "tools/obu-modem/HayesEmulator.h"

namespace {

using namespace obu;

// A stage as the dialer reads it from the emulator: its number.
QByteArray stageNumber(CallState state) {
    return QByteArray::number(static_cast<std::uint32_t>(state));
}

const char* const kHelp =
    "Usage: obu-modem [OPTIONS]\n"
    "\n"
    "A Hayes-compatible modem emulator on a pseudo-terminal. It prints the path of\n"
    "its device (/dev/pts/N) and answers AT commands there until it is ended\n"
    "(Ctrl-C or SIGTERM). Point any dialer at that device.\n"
    "\n"
    "The far end:\n"
    "  --answer MODE       how a dialled number answers: connect (default), busy,\n"
    "                      no-dialtone, no-answer, no-carrier, error, silent\n"
    "  --busy-count N      busy N calls in a row, then answer\n"
    "  --ring-ms MS        time from ATD to the answer or the failure (2500)\n"
    "  --speed N           the speed that CONNECT reports (33600)\n"
    "  --drop-after S      the far end hangs up S seconds after connecting\n"
    "  --no-echo-data      online, send nothing back (the far end echoes by default)\n"
    "The modem:\n"
    "  --reset-ms MS       time that ATZ takes (300)\n"
    "  --mute              a dead modem: it never answers\n"
    "  --noise             line noise before every result\n"
    "Other:\n"
    "  --link PATH         also make PATH a symbolic link to the device\n"
    "  --transcript FILE   append every command received to FILE\n"
    "  -h, --help          show this help\n"
    "  --version           show the version\n"
    "\n"
    "Signals: SIGUSR1 drops the carrier of the call in progress (NO CARRIER).\n"
    "Pseudo-terminals have no DCD or DTR lines: carrier loss shows as NO CARRIER\n"
    "on the line, and closing the device (dropping DTR) hangs up.\n";

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int signalPipe[2] = {-1, -1};

void onSignal(int sig) {
    const char c = static_cast<char>(sig);
    (void)!::write(signalPipe[1], &c, 1);
}

struct Options {
    HayesEmulator::Config modem;
    int holdFd = -1;
    int authMs = 1000;
    int projectMs = 500;
    int dropAfter = 0;
    QByteArray pppFail;
    QByteArray lineMemory;
    QByteArray record;
    QByteArray lockDir;
    QByteArray link;
    QByteArray transcript;
};

// Reads the command line into `o`. Returns the exit status when the program is
// to end at once (help, version, a mistake), else -1.
int parse(int argc, char** argv, Options& o) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    const char* const flags[] = {"no-echo-data", "mute", "noise"};
    const char* const values[] = {"answer",      "busy-count", "ring-ms",    "reset-ms",
                                  "speed",       "drop-after", "link",       "transcript",
                                  "hold",        "auth-ms",    "project-ms", "ppp-fail",
                                  "line-memory", "record",     "lock-dir"};
    for (const char* name : flags) parser.addOption(QCommandLineOption(QLatin1String(name)));
    for (const char* name : values)
        parser.addOption(
            QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    if (!parser.parse(cli::arguments(argc, argv)))
        return cli::usageError("obu-modem", parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("obu-modem %s\n", OBU_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(
            "obu-modem",
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    QString wrong;
    const auto number = [&](const char* name, int& into) {
        if (!parser.isSet(QLatin1String(name)) || !wrong.isEmpty()) return;
        const QString v = parser.value(QLatin1String(name));
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n < 0)
            wrong = QStringLiteral("--%1 wants a number, not '%2'").arg(QLatin1String(name), v);
        else
            into = n;
    };
    const auto text = [&](const char* name, QByteArray& into) {
        if (parser.isSet(QLatin1String(name)))
            into = parser.value(QLatin1String(name)).toLocal8Bit();
    };
    if (parser.isSet(QStringLiteral("answer"))) {
        const QString v = parser.value(QStringLiteral("answer"));
        using A = HayesEmulator::Answer;
        const std::pair<const char*, A> answers[] = {
            {"connect", A::Connect},        {"busy", A::Busy},
            {"no-dialtone", A::NoDialTone}, {"no-answer", A::NoAnswer},
            {"no-carrier", A::NoCarrier},   {"error", A::Error},
            {"silent", A::Silent}};
        bool known = false;
        for (const auto& [name, answer] : answers)
            if (v == QLatin1String(name)) {
                o.modem.answer = answer;
                known = true;
            }
        if (!known) wrong = QStringLiteral("unknown answer '%1'").arg(v);
    }
    number("busy-count", o.modem.busyCount);
    number("ring-ms", o.modem.ringMs);
    number("reset-ms", o.modem.resetMs);
    number("speed", o.modem.speed);
    number("drop-after", o.dropAfter);
    number("hold", o.holdFd);
    number("auth-ms", o.authMs);
    number("project-ms", o.projectMs);
    if (!wrong.isEmpty()) return cli::usageError("obu-modem", wrong);
    if (parser.isSet(QStringLiteral("no-echo-data"))) o.modem.echoData = false;
    if (parser.isSet(QStringLiteral("mute"))) o.modem.mute = true;
    if (parser.isSet(QStringLiteral("noise"))) o.modem.noise = true;
    text("link", o.link);
    text("transcript", o.transcript);
    text("ppp-fail", o.pppFail);
    text("line-memory", o.lineMemory);
    text("record", o.record);
    text("lock-dir", o.lockDir);
    return -1;
}

// The simulated PPP stage of a held call: pppd's stages and the provider's
// answers, with the entry's delays.
struct PppStandIn {
    enum class Step { None, Authenticate, Project, Up } step = Step::None;
    std::int64_t dueAt = -1;
    QByteArray user, password, acceptUser, acceptPassword;
    int slaveFd = -1;  // held like pppd holds its tty
};

class Program {
public:
    explicit Program(Options options) : m_o(std::move(options)) {}
    int run();

private:
    bool openPty();
    void say(const QByteArray& line);
    std::int64_t heldLineGraceMs() const;
    void flushModem();
    void controlInput();
    void pppStep(std::int64_t now);
    void dropCall(const char* why);
    void log(const QByteArray& text);

    Options m_o;
    std::unique_ptr<HayesEmulator> m_modem;
    SystemClock m_clock;
    std::unique_ptr<ConnectionRegistry> m_memory;
    int m_master = -1;
    QByteArray m_slavePath;
    QByteArray m_control;
    PppStandIn m_ppp;
    bool m_connected = false;  // a held call reached Connected
    int m_openWatch = -1;      // inotify on opens of the device
    bool m_quit = false;
    int m_exitCode = 0;
    bool m_slaveSeen = false;
    std::int64_t m_dropAt = -1;
    std::int64_t m_nextRecordCheck = -1;
    std::int64_t m_quitAt = -1;
};

void Program::log(const QByteArray& text) {
    if (m_o.transcript.isEmpty() || text.isEmpty()) return;
    const int fd =
        ::open(m_o.transcript.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    (void)!::write(fd, text.constData(), text.size());
    ::close(fd);
}

bool Program::openPty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        std::fprintf(stderr, "obu-modem: no pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    m_slavePath = ::ptsname(m_master);
    // Raw from the start: a line discipline that echoed our answers back to us
    // would make the modem talk to itself before a dialer sets the device up.
    const int slave = ::open(m_slavePath.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios tio{};
        if (::tcgetattr(slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
    }
    ::fcntl(m_master, F_SETFL, O_NONBLOCK);
    if (!m_o.link.isEmpty()) {
        struct stat st {};
        if (::lstat(m_o.link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(m_o.link.constData());
        if (::symlink(m_slavePath.constData(), m_o.link.constData()) != 0) {
            std::fprintf(stderr, "obu-modem: cannot link %s: %s\n", m_o.link.constData(),
                         std::strerror(errno));
            return false;
        }
    }
    return true;
}

void Program::say(const QByteArray& line) {
    if (m_o.holdFd < 0) return;
    const QByteArray text = line + '\n';
    ::send(m_o.holdFd, text.constData(), text.size(), MSG_NOSIGNAL);
}

void Program::flushModem() {
    const QByteArray out = m_modem->takeOutput();
    if (!out.isEmpty()) (void)!::write(m_master, out.constData(), out.size());
    log(m_modem->takeTranscript());
}

void Program::dropCall(const char* why) {
    log(QByteArray("(carrier lost: ") + why + ")\n");
    m_modem->dropCarrier();
    flushModem();
    if (m_o.holdFd >= 0) m_quitAt = nowMs() + heldLineGraceMs();
}

// A held line ends with its call. Until the call is up its dialer may still be
// reading the device and is given a moment for NO CARRIER; once it is up the
// line is ours alone, and our end is how every program learns of the drop.
std::int64_t Program::heldLineGraceMs() const {
    return m_connected ? 0 : 200;
}

void Program::controlInput() {
    char buf[1024];
    for (;;) {
        const ssize_t n = ::recv(m_o.holdFd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            m_control.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(m_o.holdFd);
            m_o.holdFd = -1;
            // The dialer has gone: a call it did not see through ends with it.
            if (!m_connected) m_quit = true;
        }
        break;
    }
    qsizetype nl;
    while ((nl = m_control.indexOf('\n')) >= 0) {
        const QList<QByteArray> w = m_control.left(nl).split(' ');
        m_control.remove(0, nl + 1);
        if (w.size() >= 5 && w[0] == "PPP" && m_ppp.step == PppStandIn::Step::None) {
            const auto dec = [](const QByteArray& v) {
                return v == "-" ? QByteArray() : QByteArray::fromPercentEncoding(v);
            };
            m_ppp.user = dec(w[1]);
            m_ppp.password = dec(w[2]);
            m_ppp.acceptUser = dec(w[3]);
            m_ppp.acceptPassword = dec(w[4]);
            m_ppp.slaveFd =
                ::open(m_slavePath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            m_ppp.step = PppStandIn::Step::Authenticate;
            m_ppp.dueAt = nowMs() + m_o.authMs;
            say("STAGE " + stageNumber(CallState::Authenticate));
        }
    }
}

void Program::pppStep(std::int64_t now) {
    if (m_ppp.dueAt < 0 || now < m_ppp.dueAt) return;
    m_ppp.dueAt = -1;
    if (m_ppp.step == PppStandIn::Step::Authenticate) {
        DialUpError error = 0;
        if (m_o.pppFail == "line-drop")
            error = dialup_error::PortDisconnected;
        else if (m_o.pppFail == "login" ||
                 (!m_ppp.acceptUser.isEmpty() && m_ppp.user != m_ppp.acceptUser) ||
                 (!m_ppp.acceptPassword.isEmpty() && m_ppp.password != m_ppp.acceptPassword))
            error = dialup_error::AuthenticationFailure;
        m_ppp.password.fill('\0');
        if (error) {
            say("FAIL " + stageNumber(CallState::Authenticate) + ' ' + QByteArray::number(error));
            dropCall(error == dialup_error::PortDisconnected ? "the line dropped"
                                                             : "login refused");
            return;
        }
        say("STAGE " + stageNumber(CallState::Authenticated));
        m_ppp.step = PppStandIn::Step::Project;
        m_ppp.dueAt = now + m_o.projectMs;
        return;
    }
    if (m_ppp.step == PppStandIn::Step::Project) {
        if (m_o.pppFail == "ppp-timeout") {
            say("FAIL " + stageNumber(CallState::Projected) + ' ' +
                QByteArray::number(dialup_error::PppTimeout));
            dropCall("PPP timed out");
            return;
        }
        say("STAGE " + stageNumber(CallState::Projected));
        say("STAGE " + stageNumber(CallState::Connected));
        m_connected = true;
        m_ppp.step = PppStandIn::Step::Up;
        // The line is the PPP stand-in's alone from now on, so opens of the
        // device no longer matter. Closing the watch waits out a kernel grace
        // period of up to some 15 ms: paid now, not between the loss of the
        // carrier and our end, which is how every program learns of a drop.
        if (m_openWatch >= 0) ::close(m_openWatch);
        m_openWatch = -1;
        if (m_o.dropAfter > 0) m_dropAt = now + m_o.dropAfter * 1000ll;
        log("(connected)\n");
    }
}

int Program::run() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!m_o.lineMemory.isEmpty())
        m_memory = std::make_unique<ConnectionRegistry>(QFile::decodeName(m_o.lineMemory), m_clock);
    HayesEmulator::BusyMemory busy;
    if (m_memory)
        busy = [this](const QByteArray& number, int times) {
            return m_memory->callFindsBusy(number, times);
        };
    m_modem = std::make_unique<HayesEmulator>(m_o.modem, busy);
    m_modem->onCarrier = [this](bool up) {
        if (up && m_o.dropAfter > 0 && m_o.holdFd < 0) m_dropAt = nowMs() + m_o.dropAfter * 1000ll;
        if (!up) {
            m_dropAt = -1;
            if (m_o.holdFd >= 0 || m_connected) m_quitAt = nowMs() + heldLineGraceMs();
        }
    };
    if (!openPty()) return 1;
    if (m_o.holdFd >= 0) {
        ::fcntl(m_o.holdFd, F_SETFD, FD_CLOEXEC);
        say("PORT " + m_slavePath);
    } else {
        std::printf("%s\n", m_slavePath.constData());
        std::fflush(stdout);
    }
    if (!m_o.record.isEmpty()) m_nextRecordCheck = nowMs() + 1000;

    // While no program has the device open, the master reports a hang-up
    // without pause, so it is left out of poll() then, and an open of the
    // device (inotify) brings it back. Without inotify: a look ten times a
    // second.
    m_openWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_openWatch >= 0 &&
        ::inotify_add_watch(m_openWatch, m_slavePath.constData(), IN_OPEN) < 0) {
        ::close(m_openWatch);
        m_openWatch = -1;
    }
    bool hungUp = false;
    while (!m_quit) {
        const std::int64_t now = nowMs();
        std::int64_t due = m_modem->nextDue();
        for (std::int64_t t : {m_ppp.dueAt, m_dropAt, m_nextRecordCheck, m_quitAt})
            if (t >= 0 && (due < 0 || t < due)) due = t;
        int timeout = due < 0 ? -1 : static_cast<int>(std::max<std::int64_t>(0, due - now));
        pollfd fds[4] = {{signalPipe[0], POLLIN, 0},
                         {hungUp ? -1 : m_master, POLLIN, 0},
                         {m_o.holdFd, POLLIN, 0},
                         {hungUp ? m_openWatch : -1, POLLIN, 0}};
        if (hungUp && m_openWatch < 0 && (timeout < 0 || timeout > 100)) timeout = 100;
        const int ready = ::poll(fds, 4, timeout);
        if (ready < 0 && errno != EINTR) break;
        const std::int64_t at = nowMs();
        if (hungUp && (m_openWatch < 0 || (fds[3].revents & POLLIN))) {
            // Someone opened the device (or it is time to look): the master
            // is watched again. Events of earlier opens only cost one more look.
            char events[4096];
            while (m_openWatch >= 0 && ::read(m_openWatch, events, sizeof events) > 0) {
            }
            hungUp = false;
        }
        if (fds[0].revents & POLLIN) {
            char sig = 0;
            while (::read(signalPipe[0], &sig, 1) == 1) {
                if (sig == SIGUSR1) {
                    dropCall("SIGUSR1");
                } else {
                    m_quit = true;
                }
            }
        }
        if (fds[1].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0) {
                m_slaveSeen = true;
                // In a held call the PPP stand-in owns the line once it runs.
                if (m_ppp.step == PppStandIn::Step::None) m_modem->receive(QByteArray(buf, n), at);
            }
        } else if ((fds[1].revents & POLLHUP) && m_ppp.slaveFd < 0) {
            hungUp = true;
            // Nobody has the device open: DTR is down. A held call ends there
            // once its dialer has had the device; a free-standing modem hangs
            // up and waits for the next program.
            if (m_slaveSeen) {
                if (m_modem->inCall()) log("(DTR dropped)\n");
                m_modem->hangUpQuietly();
                m_modem->takeOutput();
                if (m_o.holdFd >= 0 || !m_o.record.isEmpty()) m_quit = true;
                m_slaveSeen = false;
            }
        } else if (!(fds[1].revents & POLLHUP)) {
            m_slaveSeen = true;
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) controlInput();
        m_modem->advance(at);
        pppStep(at);
        if (m_dropAt >= 0 && at >= m_dropAt) {
            m_dropAt = -1;
            dropCall("the far end hung up");
        }
        if (m_nextRecordCheck >= 0 && at >= m_nextRecordCheck) {
            // The call's record is gone: someone hung it up, or the folder of
            // records went away. Either way the line ends.
            if (::access(m_o.record.constData(), F_OK) != 0) {
                log("(record gone)\n");
                m_quit = true;
            }
            m_nextRecordCheck = at + 500;
        }
        if (m_quitAt >= 0 && at >= m_quitAt) m_quit = true;
        flushModem();
    }
    if (!m_o.link.isEmpty()) ::unlink(m_o.link.constData());
    if (!m_o.lockDir.isEmpty()) {
        // The dialer handed the device's lock to us with the line: it goes
        // with us (unless someone else holds it by now).
        UucpLock::removeOwn(UucpLock::lockPath(QFile::decodeName(m_o.lockDir), m_slavePath),
                            ::getpid());
    }
    if (m_ppp.slaveFd >= 0) ::close(m_ppp.slaveFd);
    if (m_openWatch >= 0) ::close(m_openWatch);
    ::close(m_master);
    return m_exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int exit = parse(argc, argv, options); exit >= 0) return exit;
    if (options.holdFd >= 0 && ::fcntl(options.holdFd, F_GETFD) < 0) {
        std::fprintf(stderr, "obu-modem: descriptor %d is not open\n", options.holdFd);
        return 2;
    }
    return Program(std::move(options)).run();
}
