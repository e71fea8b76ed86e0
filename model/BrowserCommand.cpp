#include "model/BrowserCommand.h"

#include <QStringList>

#include "platform/CommandLine.h"

namespace obu {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Where the program's name ends in the text: after its closing quote when it
// is quoted, else at the first blank.
qsizetype programEnd(const QString& command) {
    qsizetype i = 0;
    while (i < command.size() && isBlank(command[i])) ++i;
    if (i < command.size() && command[i] == u'"') {
        const qsizetype close = command.indexOf(u'"', i + 1);
        return close < 0 ? command.size() : close + 1;
    }
    while (i < command.size() && !isBlank(command[i])) ++i;
    return i;
}

bool isPlaceholderCode(QChar c) {
    return c == u'1' || c == u'l' || c == u'L';
}

bool hasPlaceholder(QStringView text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'%' && isPlaceholderCode(text[i + 1])) return true;
    return false;
}

// One pass, so that a "%1" inside the address itself is left alone.
QString fillPlaceholders(const QString& argument, const QString& url, bool& filled) {
    QString out;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        if (argument[i] == u'%' && i + 1 < argument.size() && isPlaceholderCode(argument[i + 1])) {
            out += url;
            filled = true;
            ++i;
            continue;
        }
        out += argument[i];
    }
    return out;
}

}  // namespace

BrowserCommand::BrowserCommand(const QString& registeredCommand, bool fromDesktopEntry) {
    if (registeredCommand.trimmed().isEmpty()) return;
    if (fromDesktopEntry) {
        whole_ = registeredCommand;
        return;
    }
    const qsizetype dash = registeredCommand.indexOf(u'-');
    const bool switchesAfterProgram = dash >= programEnd(registeredCommand);
    if (switchesAfterProgram && !hasPlaceholder(QStringView(registeredCommand).left(dash)))
        cut_ = registeredCommand.left(dash);
    else
        whole_ = registeredCommand;
}

QString BrowserCommand::commandLineFor(const QString& url) const {
    if (!cut_.isEmpty()) return cut_ + u' ' + CommandLine::quoteArgument(url);
    if (whole_.isEmpty()) return {};

    QStringList arguments = CommandLine::split(whole_);
    if (arguments.isEmpty()) return {};
    const QString program = CommandLine::quoteProgram(arguments.takeFirst());
    if (program.isEmpty()) return {};
    bool filled = false;
    for (QString& argument : arguments) argument = fillPlaceholders(argument, url, filled);
    if (!filled) arguments.append(url);
    return program + u' ' + CommandLine::joinArguments(arguments);
}

}  // namespace obu
