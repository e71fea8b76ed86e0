// Feeds the reader of UUCP lock files arbitrary contents: the pid it finds is
// the number written (in text, or in the old four-byte binary form), when that
// can be a process, and nothing else.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dialup/modem/UucpLock.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pid_t pid = obu::UucpLock::parsePid(bytes);
    require(pid >= 0, "a lock names a negative pid");
    // Four bytes with a zero among them are the old binary form, never text.
    if (bytes.size() == 4 && bytes.contains('\0')) {
        int binary = 0;
        std::memcpy(&binary, bytes.constData(), 4);
        require(pid == (binary > 0 ? binary : 0), "a binary lock's pid reads as another process");
        return 0;
    }
    bool ok = false;
    const long long written = bytes.trimmed().toLongLong(&ok);
    if (ok)
        require(pid == (written > 0 && written <= INT_MAX ? written : 0),
                "a lock's pid reads as another process");
    return 0;
}
