// Feeds the splitting of Windows command lines arbitrary text, and checks
// that quoting and splitting undo each other.
#include <cstddef>
#include <cstdint>

#include "platform/CommandLine.h"
#include "tests/fuzz/Require.h"

namespace cl = obu::CommandLine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList whole = cl::split(text);
    const QStringList arguments = cl::splitArguments(text);

    require(cl::splitArguments(cl::joinArguments(arguments)) == arguments,
            "quoted arguments do not split back into themselves");
    if (!whole.isEmpty()) {
        const QString program = cl::quoteProgram(whole.first());
        if (!program.isEmpty()) {
            const QStringList rest = whole.mid(1);
            const QString line =
                rest.isEmpty() ? program : program + u' ' + cl::joinArguments(rest);
            require(cl::split(line) == whole, "a command line does not split back into itself");
        }
    }
    return 0;
}
