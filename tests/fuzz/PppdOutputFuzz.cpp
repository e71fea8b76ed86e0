// Feeds the reader of pppd's messages arbitrary output, line by line, as a
// call reads it.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "dialup/modem/PppdLink.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    obu::PppdLink link("/dev/ttyS0");
    bool projected = false;
    for (const QByteArray& line :
         QByteArray(reinterpret_cast<const char*>(data), size).split('\n')) {
        const std::optional<obu::CallState> stage = link.stageOfLine(line);
        require(
            !stage || stage == obu::CallState::Authenticated || stage == obu::CallState::Projected,
            "pppd's output gave an unknown stage");
        // Once both addresses are known, the link stays projected.
        require(!projected || stage.has_value(), "a projected link lost its addresses");
        projected = projected || stage == obu::CallState::Projected;
    }
    return 0;
}
