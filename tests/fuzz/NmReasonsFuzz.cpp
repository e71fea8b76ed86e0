// Feeds the readers of NetworkManager's reasons any numbers and error names,
// as a NetworkManager of another version (or another program on the bus)
// could send them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dialup/networkmanager/NetworkManagerReasons.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    std::uint32_t active = 0;
    std::uint32_t device = 0;
    std::memcpy(&active, data, 4);
    std::memcpy(&device, data + 4, 4);
    const obu::NmFailure failure = obu::failureFromReasons(active, device);
    require(obu::failureName(failure) != nullptr, "a failure without a name");
    const QString words = obu::reasonInWords(active, device);
    require(!words.isEmpty(), "a reason told in no words");
    require(words != QLatin1String("other") && words != QLatin1String("none"),
            "a reason told as other or none");
    // A user's end is never a failure, whatever the device says.
    if (active == 2) require(failure == obu::NmFailure::None || device > 1, "a user's end failed");
    const QString errorName =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 8), static_cast<int>(size - 8));
    const obu::NmFailure refused = obu::failureFromActivationError(errorName);
    require(refused == obu::NmFailure::DeviceMissing || refused == obu::NmFailure::Other,
            "a refusal of an unknown kind");
    return 0;
}
