// obu-line: lists the entries of the phone book and of NetworkManager and the
// connections, dials, hangs up, plays the provider hanging up, and shows the
// kept line's history, through the same dial-up service that obu uses.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include "model/History.h"
#include "platform/CommandLineUsage.h"
#include "platform/DataFolders.h"
#include "platform/HomeFolder.h"
#include "platform/OpenFileLimit.h"
#include "platform/ProgramFolder.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "tools/obu-line/Commands.h"
#include "tools/obu-line/Help.h"
#include "tools/obu-line/KeeperCommand.h"

namespace {

using namespace obu;
using namespace obu::line;

// The first line of standard input, without its line break.
QString readPasswordLine() {
    QTextStream in(stdin);
    QString line = in.readLine();
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

// The file obu appends the kept line's sessions to: beside its log, which
// lives beside this program or in the user's state folder.
QString defaultHistoryFile() {
    return dataFolders(executableFolder()).log + QLatin1String(History::kFileName);
}

bool wants(const QString& command, const QStringList& words, int least, int most) {
    if (words.size() >= least && words.size() <= most) return true;
    cli::usageError("obu-line", QStringLiteral("wrong number of arguments for ") + command);
    return false;
}

// The commands that need the dial-up service.
int runService(const QString& command, Request& request, bool passwordStdin) {
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

    QStringList& words = request.words;
    if (command == QLatin1String("entries"))
        return wants(command, words, 0, 0) ? listEntries(services, request) : kUsage;
    if (command == QLatin1String("connections"))
        return wants(command, words, 0, 0) ? listConnections(services, request) : kUsage;
    if (command == QLatin1String("dial")) {
        if (passwordStdin) {
            if (!wants(command, words, 1, 2)) return kUsage;
            if (words.size() == 1) words << QString();
            words << readPasswordLine();
        }
        if (!wants(command, words, 1, 3)) return kUsage;
        if (words[0].isEmpty()) {
            err() << "obu-line: the entry name is empty" << Qt::endl;
            return kUsage;
        }
        request.wordsGiven = words.size();
        if (words.size() < 3) addStoredCredentials(words);
        return dial(services, request);
    }
    if (command == QLatin1String("hangup"))
        return wants(command, words, 1, 1) ? hangUp(services, request) : kUsage;
    return wants(command, words, 1, 1) ? drop(services, request) : kUsage;
}

int run(QCommandLineParser& parser) {
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption terse(QStringList{QStringLiteral("t"), QStringLiteral("terse")});
    const QCommandLineOption json(QStringList{QStringLiteral("j"), QStringLiteral("json")});
    const QCommandLineOption phoneBook(QStringLiteral("phonebook"), QString(),
                                       QStringLiteral("file"));
    const QCommandLineOption historyFile(QStringLiteral("history"), QString(),
                                         QStringLiteral("file"));
    const QCommandLineOption passwordStdin(QStringLiteral("password-stdin"));
    parser.addOptions({help, version, terse, json, phoneBook, historyFile, passwordStdin});
    if (!parser.parse(QCoreApplication::arguments()))
        return cli::usageError("obu-line", parser.errorText());
    if (parser.isSet(help)) {
        out() << kHelp;
        return kOk;
    }
    if (parser.isSet(version)) {
        out() << "obu-line " << OBU_VERSION << '\n';
        return kOk;
    }
    Request request{parser.value(phoneBook), Format::Plain, parser.positionalArguments()};
    if (request.words.isEmpty())
        return cli::usageError("obu-line", QStringLiteral("no command given"));
    const QString command = request.words.takeFirst();
    static const QStringList commands{QStringLiteral("entries"), QStringLiteral("connections"),
                                      QStringLiteral("dial"),    QStringLiteral("hangup"),
                                      QStringLiteral("drop"),    QStringLiteral("history"),
                                      QStringLiteral("keeper")};
    if (!commands.contains(command))
        return cli::usageError("obu-line", QStringLiteral("unknown command ") + command);
    if (parser.isSet(terse) && parser.isSet(json))
        return cli::usageError("obu-line", QStringLiteral("--terse and --json exclude each other"));
    if (parser.isSet(terse) || parser.isSet(json)) {
        if (command == QLatin1String("dial") || command == QLatin1String("hangup") ||
            command == QLatin1String("drop"))
            return cli::usageError("obu-line", QStringLiteral("--terse and --json belong to "
                                                              "entries, connections, history and "
                                                              "keeper status"));
        request.format = parser.isSet(json) ? Format::Json : Format::Terse;
    }
    if (parser.isSet(passwordStdin) && command != QLatin1String("dial"))
        return cli::usageError("obu-line", QStringLiteral("--password-stdin belongs to dial"));
    if (parser.isSet(historyFile) && command != QLatin1String("history"))
        return cli::usageError("obu-line", QStringLiteral("--history belongs to history"));
    if (command == QLatin1String("keeper")) return keeperCommand(request);
    if (command == QLatin1String("history")) {
        if (!wants(command, request.words, 0, 0)) return kUsage;
        return showHistory(
            request, parser.isSet(historyFile) ? parser.value(historyFile) : defaultHistoryFile());
    }
    return runService(command, request, parser.isSet(passwordStdin));
}

}  // namespace

int main(int argc, char** argv) {
    raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("obu-line"));
    if (const QString problem = settleHomeFolder(); !problem.isEmpty())
        err() << "obu-line: " << problem << Qt::endl;
    QCommandLineParser parser;
    return finish(run(parser));
}
