// obu-line: lists the entries of the phone book and of NetworkManager and the
// connections, dials, hangs up, and plays the provider hanging up, through the
// same dial-up service that obu uses.
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dialup/CombinedDialUpService.h"
#include "dialup/networkmanager/NetworkManagerService.h"
#include "dialup/phonebook/ErrorText.h"
#include "dialup/phonebook/LineService.h"
#include "platform/CommandLineUsage.h"
#include "platform/HomeFolder.h"
#include "platform/PrintableText.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"

namespace {

using namespace obu;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

// Names and values from the phone book, NetworkManager, the records and the
// devices' own words never reach the terminal raw: a control character in them
// would act on it (see printableText). What is dialled keeps the real name.
QString shown(const QString& text) {
    return printableText(text);
}
QString shown(const QByteArray& latin1) {
    return printableText(QString::fromLatin1(latin1));
}

const char* const kHelp =
    "Usage: obu-line [--phonebook FILE] COMMAND [ARGUMENTS]\n"
    "\n"
    "The dial-up service of Obu Linekeeper from the command line.\n"
    "\n"
    "Commands:\n"
    "  entries                        list the entries, each with its source (the\n"
    "                                 phone book or NetworkManager) after a tab\n"
    "  connections                    list the connections, dials in progress too\n"
    "  dial ENTRY [USER [PASSWORD]]   dial an entry, show each stage, wait for the\n"
    "                                 result; the connection stays up afterwards.\n"
    "                                 A PASSWORD given here can be seen by other\n"
    "                                 users of this machine (ps): prefer\n"
    "                                 --password-stdin\n"
    "  hangup ENTRY|all               hang up the connections of an entry, or all\n"
    "  drop ENTRY|all                 let the provider hang up (as a dropped line)\n"
    "\n"
    "Options:\n"
    "  --phonebook FILE   use this phone book instead of the default one\n"
    "  --password-stdin   dial: read the password from the first line of standard\n"
    "                     input (echo \"$PASS\" | obu-line dial --password-stdin ...)\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n"
    "\n"
    "Environment:\n"
    "  OBU_PHONEBOOK   the default phone book (else $XDG_CONFIG_HOME/obu/phonebook.pbk\n"
    "                  or ~/.config/obu/phonebook.pbk; a built-in demo phone book\n"
    "                  serves while that file does not exist)\n"
    "  OBU_LINES_DIR   the folder of the connection records (else\n"
    "                  $XDG_RUNTIME_DIR/obu-lines, or without a runtime folder\n"
    "                  $XDG_STATE_HOME/obu/lines or ~/.local/state/obu/lines)\n"
    "  OBU_LOCK_DIR    the folder of the serial devices' UUCP locks (else /var/lock)\n"
    "  OBU_MODEM_PROGRAM  the modem emulator of the entries without a serial device\n"
    "                  (else obu-modem beside this program)\n"
    "  OBU_PPPD        the pppd to run for real modems (else /usr/sbin/pppd)\n"
    "  OBU_NM_ALL_PROFILES  1: every NetworkManager profile is an entry (else\n"
    "                  mobile broadband, PPPoE, Bluetooth, VPN and WireGuard ones)\n"
    "  DBUS_SYSTEM_BUS_ADDRESS  the system bus where NetworkManager is found\n"
    "\n"
    "Exit status: 0 on success, 1 when the service reports a failure, 2 for a\n"
    "command line that cannot be understood.\n";

// The first line of standard input, without its line break.
QString readPasswordLine() {
    QTextStream in(stdin);
    QString line = in.readLine();
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

// The code with its text: the service's words when it is given (a
// NetworkManager failure has its own), else the phone book's.
QString codeText(DialUpError code, const DialUpService* words = nullptr) {
    QString text = words ? words->errorText(code) : QString();
    if (text.isEmpty() && dialUpErrorText(code)) text = QString::fromLatin1(dialUpErrorText(code));
    if (text.isEmpty()) text = QStringLiteral("(no text for this code)");
    return QStringLiteral("error %1: %2").arg(code).arg(text);
}

// The phone book's service, NetworkManager's, and both as one.
struct Services {
    LineService& lines;
    NetworkManagerService& networkManager;
    CombinedDialUpService& all;
};

bool fromNetworkManager(CallId id) {
    return (id & NetworkManagerService::kIdBit) != 0;
}

// NetworkManager's connections that are entries, oldest first.
QList<CallInfo> networkManagerCalls(Services& s) {
    QList<CallInfo> calls;
    s.networkManager.calls(&calls);
    return calls;
}

QString stageName(CallState state) {
    switch (state) {
        case CallState::OpenPort:
            return QStringLiteral("Opening port");
        case CallState::PortOpened:
            return QStringLiteral("Port opened");
        case CallState::ConnectDevice:
            return QStringLiteral("Connecting device");
        case CallState::DeviceConnected:
            return QStringLiteral("Device connected");
        case CallState::AllDevicesConnected:
            return QStringLiteral("All devices connected");
        case CallState::Authenticate:
            return QStringLiteral("Authenticating");
        case CallState::Authenticated:
            return QStringLiteral("Authenticated");
        case CallState::Projected:
            return QStringLiteral("Projected");
        case CallState::Connected:
            return QStringLiteral("Connected");
        case CallState::Disconnected:
            return QStringLiteral("Disconnected");
        default:
            return QStringLiteral("State %1").arg(static_cast<std::uint32_t>(state));
    }
}

QString handleText(CallId handle) {
    return QStringLiteral("0x%1")
        .arg(handle, 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

bool sameEntry(const QByteArray& a, const QString& b) {
    return QString::fromLatin1(a).compare(b, Qt::CaseInsensitive) == 0;
}

void problemNote(const LineService& service, DialUpError code, const QString& phoneBookPath = {}) {
    if (code == dialup_error::Unknown && !service.problem().isEmpty())
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
    if (code == dialup_error::CannotOpenPhoneBook || code == dialup_error::CannotLoadPhoneBook) {
        const QString why = service.phoneBook(phoneBookPath).problem;
        if (!why.isEmpty()) err() << "obu-line: " << shown(why) << Qt::endl;
    }
}

int listEntries(Services& s, const QString& phoneBookPath) {
    LineService& service = s.lines;
    QObject::connect(&s.all, &CombinedDialUpService::entryHidden, qApp,
                     [](const QString& name, const QString& source) {
                         err() << "obu-line: the " << shown(source) << " connection \""
                               << shown(name)
                               << "\" is hidden by the phone book's entry of the same name"
                               << Qt::endl;
                     });
    QList<EntryInfo> entries;
    const DialUpError result = s.all.entries(phoneBookPath, &entries);
    const QString shownPath =
        shown(phoneBookPath.isEmpty() ? service.paths().phoneBook : phoneBookPath);
    if (result != dialup_error::None) {
        err() << "obu-line: cannot list the entries of " << shownPath << ": " << codeText(result)
              << Qt::endl;
        problemNote(service, result, phoneBookPath);
        return kFailed;
    }
    if (phoneBookPath.isEmpty() && service.phoneBook().source == PhoneBook::Source::Demo)
        err() << "obu-line: no phone book at " << shownPath << "; the demo phone book serves"
              << Qt::endl;
    if (entries.isEmpty())
        err() << "obu-line: the phone book " << shownPath << " has no entries" << Qt::endl;
    for (const EntryInfo& entry : entries)
        out() << shown(entry.name) << '\t' << shown(entry.source) << Qt::endl;
    return kOk;
}

int listConnections(Services& s) {
    LineService& service = s.lines;
    const std::vector<LineRecord> lines = service.lines();
    const QList<CallInfo> others = networkManagerCalls(s);
    if (lines.empty() && !service.problem().isEmpty()) {
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
        return kFailed;
    }
    if (lines.empty() && others.isEmpty()) {
        out() << "No connections." << Qt::endl;
        return kOk;
    }
    int entryWidth = 5;
    for (const LineRecord& r : lines) entryWidth = std::max<int>(entryWidth, shown(r.entry).size());
    for (const CallInfo& c : others) entryWidth = std::max<int>(entryWidth, shown(c.entry).size());
    out() << QStringLiteral("ENTRY").leftJustified(entryWidth + 2)
          << QStringLiteral("STATE").leftJustified(30) << "DEVICE" << Qt::endl;
    for (const LineRecord& r : lines) {
        const QString state = r.established() ? QStringLiteral("Connected")
                                              : QStringLiteral("Dialing: ") + stageName(r.state);
        QString device = shown(r.device);
        if (!r.port.isEmpty() && r.port != r.device)
            device += QStringLiteral(" on ") + shown(QString::fromLocal8Bit(r.port));
        out() << shown(r.entry).leftJustified(entryWidth + 2) << state.leftJustified(30) << device
              << " (" << shown(r.deviceType) << "), handle " << handleText(r.handle);
        if (r.holder > 0)
            out() << ", held by " << shown(r.holderKind) << " (pid " << r.holder << ")";
        out() << Qt::endl;
    }
    for (const CallInfo& c : others) {
        const QString state = c.state == CallState::Connected
                                  ? QStringLiteral("Connected")
                                  : QStringLiteral("Dialing: ") + stageName(c.state);
        out() << shown(c.entry).leftJustified(entryWidth + 2) << state.leftJustified(30)
              << shown(c.deviceName) << " (" << shown(c.deviceType) << "), handle "
              << handleText(c.id) << Qt::endl;
    }
    return kOk;
}

// Acts on the connections of one entry, or all of them: act on the phone
// book's, a hang-up on NetworkManager's (which every other program takes for a
// drop), waiting until NetworkManager has taken them down.
int forEachLine(Services& s, const QString& which, const char* verb, const char* networkVerb,
                const std::function<DialUpError(CallId)>& act) {
    LineService& service = s.lines;
    const bool all = which == QLatin1String("all");
    int matched = 0;
    int failed = 0;
    QSet<CallId> goingDown;
    QObject::connect(&s.networkManager, &DialUpService::callEnded, qApp,
                     [&](CallId id, DialUpError) { goingDown.remove(id); });
    for (const CallInfo& c : networkManagerCalls(s)) {
        if (!all && c.entry.compare(which, Qt::CaseInsensitive) != 0) continue;
        ++matched;
        const DialUpError result = s.networkManager.hangUp(c.id);
        if (result == dialup_error::None) goingDown.insert(c.id);
        if (result == dialup_error::None || result == dialup_error::InvalidCall) {
            out() << networkVerb << ' ' << shown(c.entry) << " (" << handleText(c.id) << ")."
                  << Qt::endl;
        } else {
            ++failed;
            err() << "obu-line: " << shown(c.entry) << ": " << shown(codeText(result, &s.all))
                  << Qt::endl;
        }
    }
    QElapsedTimer waited;
    waited.start();
    while (!goingDown.isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (const CallId id : goingDown) {
        ++failed;
        err() << "obu-line: NetworkManager has not taken " << handleText(id) << " down yet"
              << Qt::endl;
    }
    const std::vector<LineRecord> lines = service.lines();
    // Records that cannot be read are no proof that nothing is connected.
    if (lines.empty() && !service.problem().isEmpty() && matched == 0) {
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
        return kFailed;
    }
    for (const LineRecord& r : lines) {
        if (!all && !sameEntry(r.entry, which)) continue;
        ++matched;
        const DialUpError result = act(r.handle);
        if (result == dialup_error::None || result == dialup_error::InvalidCall) {
            // Invalid by now: it ended between the listing and this call.
            out() << verb << ' ' << shown(r.entry) << " (" << handleText(r.handle) << ")."
                  << Qt::endl;
        } else {
            ++failed;
            err() << "obu-line: " << shown(r.entry) << ": " << codeText(result) << Qt::endl;
            problemNote(service, result);
        }
    }
    if (matched == 0) {
        if (all) {
            out() << "No connections." << Qt::endl;
            return kOk;
        }
        err() << "obu-line: there is no connection to \"" << shown(which) << "\"" << Qt::endl;
        return kFailed;
    }
    return failed ? kFailed : kOk;
}

// Ctrl-C or a termination request during a dial hangs the dial up, so that the
// modem is free at once rather than when another program notices.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    (void)!::write(signalPipe[1], &c, 1);
}

int dial(Services& s, EventLoop& loop, const QString& phoneBookPath, const QStringList& args) {
    LineService& lines = s.lines;
    DialUpService& service = s.all;
    const QString entry = args.value(0);
    DialRequest request;
    request.entry = entry;
    request.userName = args.value(1);
    request.password = args.value(2);
    request.phoneBook = phoneBookPath;

    int exitCode = kFailed;
    CallId handle = 0;
    bool finished = false;
    const auto stop = [&](int code) {
        if (finished) return;
        finished = true;
        exitCode = code;
        QCoreApplication::exit(code);
    };
    QObject::connect(&service, &DialUpService::callStateChanged, qApp,
                     [&](CallId call, CallState state, DialUpError error) {
                         if (call != handle || finished) return;
                         if (error != 0) {
                             err() << "obu-line: dialing \"" << shown(entry) << "\" failed at \""
                                   << stageName(state) << "\": " << shown(codeText(error, &service))
                                   << Qt::endl;
                             const QString detail = service.failureDetail(handle);
                             if (!detail.isEmpty())
                                 err() << "obu-line: " << shown(detail) << Qt::endl;
                             service.hangUp(handle);
                             stop(kFailed);
                             return;
                         }
                         out() << "  " << stageName(state);
                         LineRecord record;
                         if (state == CallState::PortOpened && lines.record(handle, &record) &&
                             !record.port.isEmpty())
                             out() << " (" << shown(QString::fromLocal8Bit(record.port)) << ")";
                         out() << Qt::endl;
                         if (state == CallState::Connected) {
                             out() << "Connected to " << shown(entry) << " (handle "
                                   << handleText(handle) << ")." << Qt::endl;
                             stop(kOk);
                         }
                     });

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&] {
            err() << "obu-line: dial cancelled; hanging up" << Qt::endl;
            service.hangUp(handle);
            stop(kFailed);
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGHUP, onSignal);
    }
    out() << "Dialing " << shown(entry) << "..." << Qt::endl;
    const DialUpError result = service.dial(request, &handle);
    request.password.fill(QLatin1Char('\0'));
    if (result != dialup_error::None) {
        err() << "obu-line: cannot dial \"" << shown(entry)
              << "\": " << shown(codeText(result, &service)) << Qt::endl;
        problemNote(lines, result, phoneBookPath);
        return kFailed;
    }
    if (fromNetworkManager(handle) && !(args.value(1).isEmpty() && args.value(2).isEmpty()))
        err() << "obu-line: NetworkManager logs in with the profile's own secrets; the user "
                 "name and password given are not used"
              << Qt::endl;

    (void)loop;
    QCoreApplication::exec();
    // A failed call leaves a modem to put back on the hook ("+++", ATH0, DTR):
    // let that finish before the program ends, within reason.
    QElapsedTimer settle;
    settle.start();
    while (lines.settling() && settle.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("obu-line"));
    if (const QString problem = settleHomeFolder(); !problem.isEmpty())
        err() << "obu-line: " << problem << Qt::endl;
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption phoneBook(QStringLiteral("phonebook"), QString(),
                                       QStringLiteral("file"));
    const QCommandLineOption passwordStdin(QStringLiteral("password-stdin"));
    parser.addOptions({help, version, phoneBook, passwordStdin});
    if (!parser.parse(QCoreApplication::arguments()))
        return cli::usageError("obu-line", parser.errorText());
    if (parser.isSet(help)) {
        out() << kHelp;
        return kOk;
    }
    if (parser.isSet(version)) {
        out() << "obu-line " << OBU_VERSION << Qt::endl;
        return kOk;
    }
    const QString phoneBookPath = parser.value(phoneBook);
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) return cli::usageError("obu-line", QStringLiteral("no command given"));
    const QString command = words.takeFirst();
    const auto wants = [&](int least, int most) {
        if (words.size() >= least && words.size() <= most) return true;
        cli::usageError("obu-line", QStringLiteral("wrong number of arguments for ") + command);
        return false;
    };
    if (parser.isSet(passwordStdin) && command != QLatin1String("dial"))
        return cli::usageError("obu-line", QStringLiteral("--password-stdin belongs to dial"));

    SystemClock clock;
    QtEventLoop loop;
    LineService service(clock, loop);
    NetworkManagerService networkManager;
    CombinedDialUpService all(service, networkManager);
    Services services{service, networkManager, all};
    // What NetworkManager has, read before anything is listed or dialled;
    // without NetworkManager or a bus that is at once.
    QElapsedTimer asked;
    asked.start();
    while (!networkManager.isSettled() && asked.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    if (command == QLatin1String("entries"))
        return wants(0, 0) ? listEntries(services, phoneBookPath) : kUsage;
    if (command == QLatin1String("connections"))
        return wants(0, 0) ? listConnections(services) : kUsage;
    if (command == QLatin1String("dial")) {
        if (parser.isSet(passwordStdin)) {
            if (!wants(1, 2)) return kUsage;
            if (words.size() == 1) words << QString();
            words << readPasswordLine();
        }
        if (!wants(1, 3)) return kUsage;
        if (words[0].isEmpty()) {
            err() << "obu-line: the entry name is empty" << Qt::endl;
            return kUsage;
        }
        return dial(services, loop, phoneBookPath, words);
    }
    if (command == QLatin1String("hangup")) {
        if (!wants(1, 1)) return kUsage;
        const int result = forEachLine(services, words[0], "Hung up", "Hung up",
                                       [&](CallId h) { return service.hangUp(h); });
        // A line that pppd held: once pppd has gone, the modem is put back on
        // the hook from here.
        QElapsedTimer settle;
        settle.start();
        while (service.settling() && settle.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return result;
    }
    if (command == QLatin1String("drop")) {
        if (!wants(1, 1)) return kUsage;
        return forEachLine(services, words[0], "The provider hung up", "Took down",
                           [&](CallId h) { return service.dropLine(h); });
    }
    return cli::usageError("obu-line", QStringLiteral("unknown command ") + command);
}
