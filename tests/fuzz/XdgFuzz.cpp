// Feeds the default-application lookup an arbitrary desktop entry and
// mimeapps.list, laid out in a folder of their own, an arbitrary Exec line and
// an arbitrary address. Input layout (FuzzedDataProvider): the address, the
// Exec line and the mimeapps.list text, each ended by a backslash and one more
// byte; the rest is the desktop entry.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/XdgRegistry.h"
#include "tests/fuzz/Require.h"

namespace {

void write(const QString& path, const std::string& text) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a test file");
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// A command names its program by its full path and hands the address over.
void requireCommand(const QStringList& command, const QString& address, const char* what) {
    if (command.isEmpty()) return;
    require(command.first().startsWith(u'/'), what);
    bool given = address.isEmpty();
    for (qsizetype i = 1; i < command.size(); ++i) given = given || command[i].contains(address);
    require(given, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory where there is a memory file system: the files are written
    // afresh for every input.
    static QTemporaryDir root(QDir(QStringLiteral("/dev/shm")).exists()
                                  ? QStringLiteral("/dev/shm/obu-xdg-fuzz-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/obu-xdg-fuzz-XXXXXX"));
    static const bool made = QDir(root.path()).mkpath(QStringLiteral("data/applications")) &&
                             QDir(root.path()).mkpath(QStringLiteral("config"));
    require(root.isValid() && made, "cannot make the test folders");

    FuzzedDataProvider in(data, size);
    const QString address = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const QString exec = QString::fromStdString(in.ConsumeRandomLengthString(128));
    write(root.path() + QStringLiteral("/config/mimeapps.list"), in.ConsumeRandomLengthString(512));
    write(root.path() + QStringLiteral("/data/applications/app.desktop"),
          in.ConsumeRemainingBytesAsString());

    const QStringList path{QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    requireCommand(obu::XdgRegistry::commandFromExec(exec, address, path), address,
                   "an Exec line lost its program or the address");

    obu::XdgDirs dirs;
    dirs.dataHome = root.path() + QStringLiteral("/data");
    dirs.configHome = root.path() + QStringLiteral("/config");
    dirs.path = path;
    const obu::XdgRegistry registry(dirs);
    registry.defaultApplication(QStringLiteral("text/html"));
    requireCommand(registry.commandFor(address), address,
                   "a command lost its program or the address");
    return 0;
}
