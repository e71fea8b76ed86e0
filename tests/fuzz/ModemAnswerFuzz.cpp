// Feeds the reader of modem answers arbitrary output, split into lines as it
// arrives, and the dial command arbitrary prefixes and numbers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "dialup/modem/ModemResponses.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string prefix = in.ConsumeRandomLengthString(16);
    const std::string number = in.ConsumeRandomLengthString(64);
    const QByteArray command =
        obu::dialCommand(QByteArray::fromStdString(prefix), QByteArray::fromStdString(number));
    require(command.endsWith('\r') && command.count('\r') == 1 && !command.contains('\n'),
            "the dial command holds a line end before its own");

    QByteArray buffer;
    while (in.remaining_bytes() > 0) {
        buffer += QByteArray::fromStdString(in.ConsumeRandomLengthString(96));
        for (const QByteArray& line : obu::takeModemLines(buffer)) {
            require(!line.isEmpty() && !line.contains('\r') && !line.contains('\n'),
                    "a modem line is empty or holds a line end");
            const obu::ModemResult result = obu::parseModemResult(line);
            require(result.speed >= 0, "a negative CONNECT speed");
            if (result.kind != obu::ModemResult::None && result.kind != obu::ModemResult::Ok &&
                result.kind != obu::ModemResult::Connect && result.kind != obu::ModemResult::Ring)
                require(obu::dialFailure(result.kind) != 0, "a failed dial reads as success");
        }
        require(buffer.size() <= 512 && !buffer.contains('\r') && !buffer.contains('\n'),
                "the partial line is unbounded or holds a line end");
    }
    return 0;
}
