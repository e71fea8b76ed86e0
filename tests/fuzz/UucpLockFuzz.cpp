// Feeds the reader of UUCP lock files arbitrary contents: the pid it finds is
// the number written, when that can be a process, and nothing else.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "dialup/modem/UucpLock.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pid_t pid = obu::UucpLock::parsePid(bytes);
    require(pid >= 0, "a lock names a negative pid");
    bool ok = false;
    const long long written = bytes.trimmed().toLongLong(&ok);
    if (ok)
        require(pid == (written > 0 && written <= INT_MAX ? written : 0),
                "a lock's pid reads as another process");
    return 0;
}
