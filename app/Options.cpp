#include "app/Options.h"

#include <QCommandLineParser>
#include <cstdio>

#include "platform/CommandLineUsage.h"

namespace obu {
namespace {

const char kUsage[] =
    "Usage: obu [OPTION]...\n"
    "\n"
    "Obu Linekeeper looks after one dial-up connection: it dials it with a stored\n"
    "user name and password, redials a busy line, reconnects a dropped line,\n"
    "dials at an alarm time and hangs up after a set number of minutes.\n"
    "Its settings (obu.ini) and log (log.txt) live beside the program, or in\n"
    "~/.config/obu and ~/.local/state/obu for an installed copy.\n"
    "SIGTERM, SIGINT, SIGQUIT and SIGHUP end it the normal way, settings saved.\n"
    "\n"
    "  --headless          run without a screen: no windows, message boxes printed\n"
    "                      and answered with their default button, every log line\n"
    "                      echoed to standard output\n"
    "  --autostart on|off  start (or no longer start) Obu Linekeeper with the\n"
    "                      desktop session, then end; the alarm only dials while\n"
    "                      the program runs\n"
    "\n"
    "Settings without the windows (written into obu.ini, then the program ends;\n"
    "with --headless it goes on to run with them):\n"
    "  --entry NAME        the connection to keep (see obu-line entries)\n"
    "  --user NAME         its user name (else the one last stored for it)\n"
    "  --password-stdin    its password, the first line of standard input (else\n"
    "                      the one last stored for it)\n"
    "  --connect-on-start  dial it when the program starts\n"
    "  -h, --help          show this text\n"
    "  --version           show the version\n"
    "\n"
    "Qt's own options (-platform, -style, -display, ...) are accepted too.\n"
    "See obu(1) for more.\n";

// What QGuiApplication and QApplication take from the command line.
const char* const kQtValueOptions[] = {"platform",      "platformpluginpath",
                                       "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry",
                                       "geometry",      "qwindowicon",
                                       "icon",          "qwindowtitle",
                                       "title",         "session",
                                       "display",       "style",
                                       "stylesheet",    "name",
                                       "visual"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

}  // namespace

int parseOptions(int argc, char** argv, Options& options) {
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform), so ours may be written either way.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption headless(QStringLiteral("headless"));
    const QCommandLineOption autostart(QStringLiteral("autostart"), QString(),
                                       QStringLiteral("on|off"));
    const QCommandLineOption entry(QStringLiteral("entry"), QString(), QStringLiteral("name"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("name"));
    const QCommandLineOption passwordStdin(QStringLiteral("password-stdin"));
    const QCommandLineOption connectOnStart(QStringLiteral("connect-on-start"));
    parser.addOptions(
        {help, version, headless, autostart, entry, user, passwordStdin, connectOnStart});
    for (const char* name : kQtValueOptions)
        parser.addOption(
            QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char* name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    if (!parser.parse(cli::arguments(argc, argv)))
        return cli::usageError("obu", parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("Obu Linekeeper %s\n", OBU_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(
            "obu",
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(autostart)) {
        const QString value = parser.value(autostart);
        if (value != QLatin1String("on") && value != QLatin1String("off"))
            return cli::usageError(
                "obu", QStringLiteral("--autostart takes on or off, not '%1'").arg(value));
        options.autostart = value == QLatin1String("on");
    }
    if (parser.isSet(entry)) options.entry = parser.value(entry);
    if (parser.isSet(user)) options.user = parser.value(user);
    options.passwordStdin = parser.isSet(passwordStdin);
    options.connectOnStart = parser.isSet(connectOnStart);
    if (options.entry && options.entry->trimmed().isEmpty())
        return cli::usageError("obu", QStringLiteral("--entry takes the name of a connection"));
    if (options.autostart && options.writesSettings())
        return cli::usageError("obu", QStringLiteral("--autostart goes alone"));
    options.headless = parser.isSet(headless);
    options.platformChosen = parser.isSet(QStringLiteral("platform"));
    return -1;
}

}  // namespace obu
