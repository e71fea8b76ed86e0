// Feeds the MIME database reader an arbitrary desktop entry, mimeapps.list and
// globs2 file, laid out in a folder of their own, and an arbitrary Exec line.
// Input layout (FuzzedDataProvider): the extension, the Exec line, the
// mimeapps.list and the globs2 text, each ended by a backslash and one more
// byte; the rest is the desktop entry.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CommandLine.h"
#include "platform/XdgRegistry.h"
#include "tests/fuzz/Require.h"

namespace {

void write(const QString& path, const std::string& text) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a test file");
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// A command line must name its program.
void requireProgram(const QString& command, const char* what) {
    if (command.isEmpty()) return;
    const QStringList words = obu::CommandLine::split(command);
    require(!words.isEmpty() && !words.first().isEmpty(), what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory where there is a memory file system: the files are written
    // afresh for every input.
    static QTemporaryDir root(QDir(QStringLiteral("/dev/shm")).exists()
                                  ? QStringLiteral("/dev/shm/obu-xdg-fuzz-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/obu-xdg-fuzz-XXXXXX"));
    static const bool made = QDir(root.path()).mkpath(QStringLiteral("data/applications")) &&
                             QDir(root.path()).mkpath(QStringLiteral("data/mime")) &&
                             QDir(root.path()).mkpath(QStringLiteral("config"));
    require(root.isValid() && made, "cannot make the test folders");

    FuzzedDataProvider in(data, size);
    const QString extension = QString::fromStdString(in.ConsumeRandomLengthString(16));
    const QString exec = QString::fromStdString(in.ConsumeRandomLengthString(128));
    write(root.path() + QStringLiteral("/config/mimeapps.list"), in.ConsumeRandomLengthString(512));
    write(root.path() + QStringLiteral("/data/mime/globs2"), in.ConsumeRandomLengthString(512));
    write(root.path() + QStringLiteral("/data/applications/app.desktop"),
          in.ConsumeRemainingBytesAsString());

    const QStringList path{QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    requireProgram(obu::XdgRegistry::commandFromExec(exec, path), "an Exec line lost its program");

    obu::XdgDirs dirs;
    dirs.dataHome = root.path() + QStringLiteral("/data");
    dirs.configHome = root.path() + QStringLiteral("/config");
    dirs.path = path;
    const obu::XdgRegistry registry(dirs);
    QString type = registry.mimeTypeForExtension(extension);
    if (type.isEmpty()) type = QStringLiteral("text/html");
    registry.defaultApplication(type);
    for (const QString& key : {type, QStringLiteral("HTTP")})
        requireProgram(registry.defaultValue(key + QStringLiteral("\\shell\\open\\command"))
                           .value_or(QString()),
                       "an open command lost its program");
    return 0;
}
