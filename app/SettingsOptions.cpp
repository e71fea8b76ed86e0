#include "app/SettingsOptions.h"

#include <QFile>
#include <QStringList>
#include <cstdio>

#include "app/Options.h"
#include "model/Settings.h"
#include "platform/Errors.h"
#include "platform/PrintableText.h"

namespace obu {
namespace {

void problem(const QString& text) {
    std::fprintf(stderr, "obu: %s\n", text.toLocal8Bit().constData());
}

// The first line of standard input, without its line break; false at once
// at its end.
bool readPasswordLine(QString& password) {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) return false;
    const QByteArray line = in.readLine(4096);
    if (line.isEmpty()) return false;
    password = QString::fromLocal8Bit(line);
    while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    return true;
}

}  // namespace

int writeSettingsOptions(const Options& options, Settings& settings) {
    if (const QString unreadable = settings.readProblem(); !unreadable.isEmpty()) {
        problem(unreadable + QStringLiteral(" Nothing was changed."));
        return 1;
    }
    const QString stored = settings.text(Setting::EntryName);
    const QString entry = options.entry.value_or(stored).left(kMaxFieldText);
    if (entry.isEmpty() && (options.user || options.passwordStdin)) {
        problem(
            QStringLiteral("no connection to store a user name or password for: add --entry "
                           "NAME"));
        return 1;
    }
    // Those last given for this entry, as the connection panel offers them.
    QString user = settings.text({Setting::EntryUserName, entry});
    QString password = settings.text({Setting::EntryPassword, entry});
    if (entry == stored && !entry.isEmpty()) {
        user = settings.text(Setting::UserName);
        password = settings.text(Setting::Password);
    }
    if (options.user) user = options.user->left(kMaxFieldText);
    if (options.passwordStdin && !readPasswordLine(password)) {
        problem(QStringLiteral("--password-stdin: standard input holds no line"));
        return 1;
    }
    password = password.left(kMaxFieldText);

    Settings::Changes changes;
    QStringList said;
    if (!entry.isEmpty()) {
        changes.setText(Setting::EntryName, entry);
        changes.setText(Setting::UserName, user);
        changes.setText(Setting::Password, password);
        changes.setText({Setting::EntryUserName, entry}, user);
        changes.setText({Setting::EntryPassword, entry}, password);
        said << QStringLiteral("connection \"%1\", user name \"%2\"%3")
                    .arg(printableText(entry), printableText(user),
                         password.isEmpty() ? QStringLiteral(", no password")
                                            : QStringLiteral(", a password"));
    }
    if (options.connectOnStart) {
        changes.setFlag(Setting::ConnectOnStart, true);
        said << QStringLiteral("Connect on Start");
    }
    try {
        settings.write(changes);
    } catch (const WriteError& error) {
        problem(error.message() + QStringLiteral(" Nothing was changed."));
        return 1;
    }
    std::printf("Stored in %s: %s.\n", settings.fileName().toLocal8Bit().constData(),
                said.join(QStringLiteral("; ")).toLocal8Bit().constData());
    if (entry.isEmpty() && settings.flag(Setting::ConnectOnStart))
        problem(
            QStringLiteral("Connect on Start is set but no connection is chosen; it dials "
                           "once one is (obu --entry NAME)"));
    return 0;
}

}  // namespace obu
