#include "platform/DataFolders.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <QDir>
#include <QFileInfo>

#include "platform/HomeFolder.h"

namespace obu {
namespace {

// $name when it is an absolute path (relative ones are to be ignored), else
// the home folder followed by `fallback`; empty without a home folder.
QString xdgBase(const char* name, const char* fallback) {
    const QString value = qEnvironmentVariable(name);
    if (value.startsWith(QLatin1Char('/'))) return value;
    const QString home = homeFolder();
    if (home.isEmpty()) return {};
    return home + QLatin1Char('/') + QLatin1String(fallback);
}

// Makes every missing folder of the path with mode 0700; the folders hold a
// password and a log of the user's connections.
void makePrivatePath(const QString& folder) {
    QString path;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return;
    }
}

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

}  // namespace

DataFolders dataFolders(const QString& programFolder) {
    const QByteArray native = QFile::encodeName(programFolder);
    const bool installed = QFileInfo::exists(programFolder + QLatin1String(kInstalledMarker));
    if (!installed && ::access(native.constData(), W_OK) == 0)
        return {programFolder, programFolder, true};
    const QString config = xdgBase("XDG_CONFIG_HOME", ".config");
    const QString state = xdgBase("XDG_STATE_HOME", ".local/state");
    if (config.isEmpty() || state.isEmpty()) return {};
    DataFolders folders{withSlash(config + QStringLiteral("/obu")),
                        withSlash(state + QStringLiteral("/obu"))};
    makePrivatePath(folders.settings);
    makePrivatePath(folders.log);
    return folders;
}

}  // namespace obu
