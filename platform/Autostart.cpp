#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/DataFolders.h"
#include "platform/HomeFolder.h"

namespace obu {

namespace {

QString autostartFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!base.startsWith(QLatin1Char('/'))) base = homeFolder() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/");
}

// A string value of a desktop entry: its escapes for the characters that
// would end or change it.
QString desktopStringValue(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return text;
}

}  // namespace

QString autostartEntryPath() {
    return autostartFolder() + QStringLiteral("org.obu.Linekeeper.desktop");
}

QString autostartProgram(const QString& programFolder) {
    const QString own = programFolder + QStringLiteral("obu");
    const QString tail = QStringLiteral("lib/obu/");
    if (!QFileInfo::exists(programFolder + QLatin1String(kInstalledMarker)) ||
        !programFolder.endsWith(tail))
        return own;
    const QString link =
        programFolder.left(programFolder.size() - tail.size()) + QStringLiteral("bin/obu");
    const QString target = QFileInfo(link).canonicalFilePath();
    return !target.isEmpty() && target == QFileInfo(own).canonicalFilePath() ? link : own;
}

QString desktopExecProgram(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool plain = !program.isEmpty();
    for (const QChar c : program)
        if (reserved.contains(c)) plain = false;
    QString exec;
    if (plain) {
        exec = program;
    } else {
        exec = QStringLiteral("\"");
        for (const QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                exec += QLatin1Char('\\');
            exec += c;
        }
        exec += QLatin1Char('"');
    }
    exec.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // The key's value is a string first: its own escapes come on top.
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return exec;
}

bool setAutostart(bool on, const QString& program, QString& message) {
    const QString path = autostartEntryPath();
    const QString older = autostartFolder() + QStringLiteral("obu.desktop");
    if (QFile::exists(older) && !QFile::remove(older)) {
        message = QStringLiteral("cannot remove %1").arg(older);
        return false;
    }
    if (!on) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            message = QStringLiteral("cannot remove %1").arg(path);
            return false;
        }
        message =
            QStringLiteral("Obu Linekeeper no longer starts with the desktop session (%1 removed).")
                .arg(path);
        return true;
    }
    const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')));
    QSaveFile file(path);
    const QByteArray text =
        QStringLiteral(
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Obu Linekeeper\n"
            "Comment=Keeps a dial-up connection up, redials and dials at an alarm time\n"
            "TryExec=%2\n"
            "Exec=%1\n"
            "Icon=obu\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n")
            .arg(desktopExecProgram(program), desktopStringValue(program))
            .toUtf8();
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(text) != text.size() || !file.commit()) {
        message = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    message =
        QStringLiteral(
            "Obu Linekeeper starts with the desktop session (%1 written). The alarm only dials "
            "while the program runs.")
            .arg(path);
    return true;
}

}  // namespace obu
