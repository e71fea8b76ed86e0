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
    explicit Program(Options options) : o_(std::move(options)) {}
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

    Options o_;
    std::unique_ptr<HayesEmulator> modem_;
    SystemClock clock_;
    std::unique_ptr<ConnectionRegistry> memory_;
    int master_ = -1;
    QByteArray slavePath_;
    QByteArray control_;
    PppStandIn ppp_;
    bool connected_ = false;  // a held call reached Connected
    int openWatch_ = -1;      // inotify on opens of the device
    bool quit_ = false;
    int exitCode_ = 0;
    bool slaveSeen_ = false;
    std::int64_t dropAt_ = -1;
    std::int64_t nextRecordCheck_ = -1;
    std::int64_t quitAt_ = -1;
};

void Program::log(const QByteArray& text) {
    if (o_.transcript.isEmpty() || text.isEmpty()) return;
    const int fd =
        ::open(o_.transcript.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    (void)!::write(fd, text.constData(), text.size());
    ::close(fd);
}

bool Program::openPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        std::fprintf(stderr, "obu-modem: no pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    slavePath_ = ::ptsname(master_);
    // Raw from the start: a line discipline that echoed our answers back to us
    // would make the modem talk to itself before a dialer sets the device up.
    const int slave = ::open(slavePath_.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios tio{};
        if (::tcgetattr(slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
    }
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    if (!o_.link.isEmpty()) {
        struct stat st {};
        if (::lstat(o_.link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(o_.link.constData());
        if (::symlink(slavePath_.constData(), o_.link.constData()) != 0) {
            std::fprintf(stderr, "obu-modem: cannot link %s: %s\n", o_.link.constData(),
                         std::strerror(errno));
            return false;
        }
    }
    return true;
}

void Program::say(const QByteArray& line) {
    if (o_.holdFd < 0) return;
    const QByteArray text = line + '\n';
    ::send(o_.holdFd, text.constData(), text.size(), MSG_NOSIGNAL);
}

void Program::flushModem() {
    const QByteArray out = modem_->takeOutput();
    if (!out.isEmpty()) (void)!::write(master_, out.constData(), out.size());
    log(modem_->takeTranscript());
}

void Program::dropCall(const char* why) {
    log(QByteArray("(carrier lost: ") + why + ")\n");
    modem_->dropCarrier();
    flushModem();
    if (o_.holdFd >= 0) quitAt_ = nowMs() + heldLineGraceMs();
}

// A held line ends with its call. Until the call is up its dialer may still be
// reading the device and is given a moment for NO CARRIER; once it is up the
// line is ours alone, and our end is how every program learns of the drop.
std::int64_t Program::heldLineGraceMs() const {
    return connected_ ? 0 : 200;
}

void Program::controlInput() {
    char buf[1024];
    for (;;) {
        const ssize_t n = ::recv(o_.holdFd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            control_.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(o_.holdFd);
            o_.holdFd = -1;
            // The dialer has gone: a call it did not see through ends with it.
            if (!connected_) quit_ = true;
        }
        break;
    }
    qsizetype nl;
    while ((nl = control_.indexOf('\n')) >= 0) {
        const QList<QByteArray> w = control_.left(nl).split(' ');
        control_.remove(0, nl + 1);
        if (w.size() >= 5 && w[0] == "PPP" && ppp_.step == PppStandIn::Step::None) {
            const auto dec = [](const QByteArray& v) {
                return v == "-" ? QByteArray() : QByteArray::fromPercentEncoding(v);
            };
            ppp_.user = dec(w[1]);
            ppp_.password = dec(w[2]);
            ppp_.acceptUser = dec(w[3]);
            ppp_.acceptPassword = dec(w[4]);
            ppp_.slaveFd =
                ::open(slavePath_.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            ppp_.step = PppStandIn::Step::Authenticate;
            ppp_.dueAt = nowMs() + o_.authMs;
            say("STAGE " + stageNumber(CallState::Authenticate));
        }
    }
}

void Program::pppStep(std::int64_t now) {
    if (ppp_.dueAt < 0 || now < ppp_.dueAt) return;
    ppp_.dueAt = -1;
    if (ppp_.step == PppStandIn::Step::Authenticate) {
        DialUpError error = 0;
        if (o_.pppFail == "line-drop")
            error = dialup_error::PortDisconnected;
        else if (o_.pppFail == "login" ||
                 (!ppp_.acceptUser.isEmpty() && ppp_.user != ppp_.acceptUser) ||
                 (!ppp_.acceptPassword.isEmpty() && ppp_.password != ppp_.acceptPassword))
            error = dialup_error::AuthenticationFailure;
        ppp_.password.fill('\0');
        if (error) {
            say("FAIL " + stageNumber(CallState::Authenticate) + ' ' + QByteArray::number(error));
            dropCall(error == dialup_error::PortDisconnected ? "the line dropped"
                                                             : "login refused");
            return;
        }
        say("STAGE " + stageNumber(CallState::Authenticated));
        ppp_.step = PppStandIn::Step::Project;
        ppp_.dueAt = now + o_.projectMs;
        return;
    }
    if (ppp_.step == PppStandIn::Step::Project) {
        if (o_.pppFail == "ppp-timeout") {
            say("FAIL " + stageNumber(CallState::Projected) + ' ' +
                QByteArray::number(dialup_error::PppTimeout));
            dropCall("PPP timed out");
            return;
        }
        say("STAGE " + stageNumber(CallState::Projected));
        say("STAGE " + stageNumber(CallState::Connected));
        connected_ = true;
        ppp_.step = PppStandIn::Step::Up;
        // The line is the PPP stand-in's alone from now on, so opens of the
        // device no longer matter. Closing the watch waits out a kernel grace
        // period of up to some 15 ms: paid now, not between the loss of the
        // carrier and our end, which is how every program learns of a drop.
        if (openWatch_ >= 0) ::close(openWatch_);
        openWatch_ = -1;
        if (o_.dropAfter > 0) dropAt_ = now + o_.dropAfter * 1000ll;
        log("(connected)\n");
    }
}

int Program::run() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!o_.lineMemory.isEmpty())
        memory_ = std::make_unique<ConnectionRegistry>(QFile::decodeName(o_.lineMemory), clock_);
    HayesEmulator::BusyMemory busy;
    if (memory_)
        busy = [this](const QByteArray& number, int times) {
            return memory_->callFindsBusy(number, times);
        };
    modem_ = std::make_unique<HayesEmulator>(o_.modem, busy);
    modem_->onCarrier = [this](bool up) {
        if (up && o_.dropAfter > 0 && o_.holdFd < 0) dropAt_ = nowMs() + o_.dropAfter * 1000ll;
        if (!up) {
            dropAt_ = -1;
            if (o_.holdFd >= 0 || connected_) quitAt_ = nowMs() + heldLineGraceMs();
        }
    };
    if (!openPty()) return 1;
    if (o_.holdFd >= 0) {
        ::fcntl(o_.holdFd, F_SETFD, FD_CLOEXEC);
        say("PORT " + slavePath_);
    } else {
        std::printf("%s\n", slavePath_.constData());
        std::fflush(stdout);
    }
    if (!o_.record.isEmpty()) nextRecordCheck_ = nowMs() + 1000;

    // While no program has the device open, the master reports a hang-up
    // without pause, so it is left out of poll() then, and an open of the
    // device (inotify) brings it back. Without inotify: a look ten times a
    // second.
    openWatch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (openWatch_ >= 0 && ::inotify_add_watch(openWatch_, slavePath_.constData(), IN_OPEN) < 0) {
        ::close(openWatch_);
        openWatch_ = -1;
    }
    bool hungUp = false;
    while (!quit_) {
        const std::int64_t now = nowMs();
        std::int64_t due = modem_->nextDue();
        for (std::int64_t t : {ppp_.dueAt, dropAt_, nextRecordCheck_, quitAt_})
            if (t >= 0 && (due < 0 || t < due)) due = t;
        int timeout = due < 0 ? -1 : static_cast<int>(std::max<std::int64_t>(0, due - now));
        pollfd fds[4] = {{signalPipe[0], POLLIN, 0},
                         {hungUp ? -1 : master_, POLLIN, 0},
                         {o_.holdFd, POLLIN, 0},
                         {hungUp ? openWatch_ : -1, POLLIN, 0}};
        if (hungUp && openWatch_ < 0 && (timeout < 0 || timeout > 100)) timeout = 100;
        const int ready = ::poll(fds, 4, timeout);
        if (ready < 0 && errno != EINTR) break;
        const std::int64_t at = nowMs();
        if (hungUp && (openWatch_ < 0 || (fds[3].revents & POLLIN))) {
            // Someone opened the device (or it is time to look): the master
            // is watched again. Events of earlier opens only cost one more look.
            char events[4096];
            while (openWatch_ >= 0 && ::read(openWatch_, events, sizeof events) > 0) {
            }
            hungUp = false;
        }
        if (fds[0].revents & POLLIN) {
            char sig = 0;
            while (::read(signalPipe[0], &sig, 1) == 1) {
                if (sig == SIGUSR1) {
                    dropCall("SIGUSR1");
                } else {
                    quit_ = true;
                }
            }
        }
        if (fds[1].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                slaveSeen_ = true;
                // In a held call the PPP stand-in owns the line once it runs.
                if (ppp_.step == PppStandIn::Step::None) modem_->receive(QByteArray(buf, n), at);
            }
        } else if ((fds[1].revents & POLLHUP) && ppp_.slaveFd < 0) {
            hungUp = true;
            // Nobody has the device open: DTR is down. A held call ends there
            // once its dialer has had the device; a free-standing modem hangs
            // up and waits for the next program.
            if (slaveSeen_) {
                if (modem_->inCall()) log("(DTR dropped)\n");
                modem_->hangUpQuietly();
                modem_->takeOutput();
                if (o_.holdFd >= 0 || !o_.record.isEmpty()) quit_ = true;
                slaveSeen_ = false;
            }
        } else if (!(fds[1].revents & POLLHUP)) {
            slaveSeen_ = true;
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) controlInput();
        modem_->advance(at);
        pppStep(at);
        if (dropAt_ >= 0 && at >= dropAt_) {
            dropAt_ = -1;
            dropCall("the far end hung up");
        }
        if (nextRecordCheck_ >= 0 && at >= nextRecordCheck_) {
            // The call's record is gone: someone hung it up, or the folder of
            // records went away. Either way the line ends.
            if (::access(o_.record.constData(), F_OK) != 0) {
                log("(record gone)\n");
                quit_ = true;
            }
            nextRecordCheck_ = at + 500;
        }
        if (quitAt_ >= 0 && at >= quitAt_) quit_ = true;
        flushModem();
    }
    if (!o_.link.isEmpty()) ::unlink(o_.link.constData());
    if (!o_.lockDir.isEmpty()) {
        // The dialer handed the device's lock to us with the line: it goes
        // with us (unless someone else holds it by now).
        UucpLock::removeOwn(UucpLock::lockPath(QFile::decodeName(o_.lockDir), slavePath_),
                            ::getpid());
    }
    if (ppp_.slaveFd >= 0) ::close(ppp_.slaveFd);
    if (openWatch_ >= 0) ::close(openWatch_);
    ::close(master_);
    return exitCode_;
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
