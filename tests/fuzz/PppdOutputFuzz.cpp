// Feeds the reader of pppd's messages arbitrary output, line by line, as a
// call reads it.
#include <cstddef>
#include <cstdint>

#include "ras/PppdLink.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    obu::PppdLink link("/dev/ttyS0");
    bool projected = false;
    for (const QByteArray& line :
         QByteArray(reinterpret_cast<const char*>(data), size).split('\n')) {
        const obu::DWORD stage = link.stageOfLine(line);
        require(stage == 0xFFFFFFFFu || stage == obu::RASCS_Authenticated ||
                    stage == obu::RASCS_Projected,
                "pppd's output gave an unknown stage");
        // Once both addresses are known, the link stays projected.
        require(!projected || stage != 0xFFFFFFFFu, "a projected link lost its addresses");
        projected = projected || stage == obu::RASCS_Projected;
    }
    return 0;
}
