#include "platform/HomeFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <vector>

namespace obu {
namespace {

// getpwuid_r: the program may have threads by the time a path is wanted.
QByteArray passwordDatabaseFolder(bool& found) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    found = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
            result && result->pw_dir;
    return found ? QByteArray(result->pw_dir) : QByteArray();
}

bool absolute(const QByteArray& path) {
    return path.startsWith('/');
}

}  // namespace

QString chooseHomeFolder(const QByteArray& homeVariable, const char* passwordDatabaseFolder) {
    // Without a trailing '/': paths are made by adding "/.config" and the like.
    if (absolute(homeVariable)) return QDir::cleanPath(QFile::decodeName(homeVariable));
    const QByteArray fromDatabase(passwordDatabaseFolder ? passwordDatabaseFolder : "");
    if (absolute(fromDatabase)) return QDir::cleanPath(QFile::decodeName(fromDatabase));
    return {};
}

QString homeFolder() {
    const QByteArray variable = qgetenv("HOME");
    if (absolute(variable)) return chooseHomeFolder(variable, nullptr);
    bool found = false;
    const QByteArray fromDatabase = passwordDatabaseFolder(found);
    return chooseHomeFolder(variable, found ? fromDatabase.constData() : nullptr);
}

QString settleHomeFolder() {
    if (absolute(qgetenv("HOME"))) return {};
    const QString home = homeFolder();
    if (!home.isEmpty()) {
        qputenv("HOME", QFile::encodeName(home));
        return {};
    }
    return QStringLiteral(
               "no home folder: HOME is not set and the password database has none for user "
               "%1; set HOME (or XDG_CONFIG_HOME and XDG_STATE_HOME)")
        .arg(::getuid());
}

}  // namespace obu
