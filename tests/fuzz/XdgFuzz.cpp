// Feeds the default-application lookup's readers an arbitrary mimeapps.list,
// desktop entry, Exec line and address, in memory: the registry reads each
// file whole and hands its text to these. Input layout (FuzzedDataProvider):
// the address, the Exec line and the mimeapps.list text, each ended by a
// backslash and one more byte; the rest is the desktop entry.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/XdgRegistry.h"
#include "tests/fuzz/Require.h"

namespace {

// A command names its program by its full path and hands the address over.
void requireCommand(const QStringList& command, const QString& address, const char* what) {
    if (command.isEmpty()) return;
    require(command.first().startsWith(u'/'), what);
    bool given = address.isEmpty();
    for (qsizetype i = 1; i < command.size(); ++i) given = given || command[i].contains(address);
    require(given, what);
}

// Every id listed is a whole one: not empty, never two run together.
void requireIds(const QStringList& ids) {
    for (const QString& id : ids)
        require(!id.isEmpty() && !id.contains(u';'), "a desktop id is empty or holds another");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString address = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const QString exec = QString::fromStdString(in.ConsumeRandomLengthString(128));
    const QByteArray mimeapps = QByteArray::fromStdString(in.ConsumeRandomLengthString(512));
    const QByteArray entry = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    const QStringList path{QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    requireCommand(obu::XdgRegistry::commandFromExec(exec, address, path), address,
                   "an Exec line lost its program or the address");

    for (const QString& type :
         {QStringLiteral("text/html"),
          QStringLiteral("x-scheme-handler/") + obu::Registry::schemeOf(address)}) {
        const obu::XdgRegistry::Associations listed =
            obu::XdgRegistry::associationsIn(mimeapps, type);
        requireIds(listed.defaults);
        requireIds(listed.added);
        requireIds(listed.removed);
    }

    // An installed application's Exec line always makes a command.
    const QString installed = obu::XdgRegistry::execOfEntry(entry, path);
    if (installed.isEmpty()) return 0;
    const QStringList command = obu::XdgRegistry::commandFromExec(installed, address, path);
    require(!command.isEmpty(), "an installed application makes no command");
    requireCommand(command, address, "a command lost its program or the address");
    return 0;
}
