#include "model/WebPageOpener.h"

#include <QStringList>
#include <array>

#include "model/BrowserCommand.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

namespace obu {

const QString WebPageOpener::ProductPage = QStringLiteral("https://obu-linekeeper.example/");
const QString WebPageOpener::MakerPage = QStringLiteral("https://vantor-studio.example/");
const QString WebPageOpener::DefaultUrl = WebPageOpener::ProductPage;

namespace {

// Every "%" goes together with the character after it ("%1" disappears); a
// "%" that ends the text has none after it and stays.
QString withoutPlaceholders(const QString& command) {
    QString out;
    out.reserve(command.size());
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (command[i] == u'%' && i + 1 < command.size()) {
            ++i;
            continue;
        }
        out.append(command[i]);
    }
    return out;
}

// The index of the last character of the program's extension, or -1.
qsizetype programEnd(const QString& command) {
    const QString upper = command.toUpper();
    static const std::array<QString, 3> extensions{QStringLiteral(".EXE"), QStringLiteral(".BAT"),
                                                   QStringLiteral(".COM")};
    for (qsizetype last = upper.size() - 1; last >= 3; --last) {
        const QStringView ending = QStringView(upper).mid(last - 3, 4);
        bool isExtension = false;
        for (const QString& e : extensions) isExtension = isExtension || ending == e;
        if (!isExtension) continue;
        // A folder such as /opt/vendor.com/ is no program's end.
        const bool canEnd = last + 1 == upper.size() || upper[last + 1] == u' ' ||
                            upper[last + 1] == u'\t' || upper[last + 1] == u'"';
        if (canEnd) return last;
    }
    return -1;
}

}  // namespace

WebPageOpener::WebPageOpener(Registry& registry, Shell& shell, QObject* owner)
    : registry_(registry), shell_(shell), owner_(owner), url_(DefaultUrl) {}

QString WebPageOpener::findBrowserCommand() const {
    return withoutPlaceholders(registeredBrowserCommand(nullptr));
}

QString WebPageOpener::registeredBrowserCommand(bool* fromDesktopEntry) const {
    static const std::array<QString, 4> extensions{QStringLiteral(".HTM"), QStringLiteral(".HTML"),
                                                   QStringLiteral(".SHTML"),
                                                   QStringLiteral(".SHTM")};
    for (const QString& extension : extensions) {
        const std::optional<QString> className = registry_.defaultValue(extension);
        if (!className) continue;
        QString command;
        if (!className->isEmpty())
            command = registry_
                          .defaultValue(*className + QStringLiteral("\\shell\\open\\command"),
                                        fromDesktopEntry)
                          .value_or(QString());
        if (command.isEmpty())
            command = registry_
                          .defaultValue(extension + QStringLiteral("\\shell\\open\\command"),
                                        fromDesktopEntry)
                          .value_or(QString());
        if (!command.isEmpty()) return command;
    }
    return {};
}

bool WebPageOpener::open() {
    bool fromDesktopEntry = false;
    const QString registered = registeredBrowserCommand(&fromDesktopEntry);
    if (fromDesktopEntry) {
        // A desktop entry's command runs whole by its own rules: its field
        // code takes the page, and launchers' arguments around it stay.
        const QString line = BrowserCommand(registered, true).commandLineFor(url_);
        return !line.isEmpty() && shell_.startCommandLine(line, Shell::kShowNormal) > 31;
    }
    const QString command = withoutPlaceholders(registered);
    if (command.isEmpty()) return false;

    QString program;
    QString parameters;
    const qsizetype end = programEnd(command);
    if (end >= 0) {
        program = command.left(end + 1);
        parameters = command.mid(end + 1).trimmed();
        while (parameters.startsWith(u'"')) parameters.remove(0, 1);
        if (program.startsWith(u'"')) program.remove(0, 1);
        parameters += u' ' + url_;
    } else {
        QStringList arguments = CommandLine::split(command);
        if (arguments.isEmpty() || arguments.first().isEmpty()) return false;
        program = arguments.takeFirst();
        arguments.removeAll(QString());
        arguments.append(url_);
        parameters = CommandLine::joinArguments(arguments);
    }
    return shell_.openWithDefaultAction(owner_, QString(), program, parameters, QString(),
                                        Shell::kShowRestored) > 32;
}

}  // namespace obu
