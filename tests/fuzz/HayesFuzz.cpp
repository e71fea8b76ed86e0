// Feeds the modem emulator arbitrary bytes from the computer at arbitrary
// moments, with an arbitrary far end: commands with any numbers, escapes,
// dials and hang-ups.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/Require.h"
#include "tools/obu-modem/HayesEmulator.h"

using obu::HayesEmulator;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    HayesEmulator::Config config;
    config.resetMs = in.ConsumeIntegralInRange(0, 2000);
    config.ringMs = in.ConsumeIntegralInRange(0, 5000);
    config.answer = static_cast<HayesEmulator::Answer>(in.ConsumeIntegralInRange(0, 6));
    config.busyCount = in.ConsumeIntegralInRange(0, 3);
    config.mute = in.ConsumeBool();
    config.noise = in.ConsumeBool();
    config.echoData = in.ConsumeBool();
    HayesEmulator modem(config, [](const QByteArray&, int busyTimes) { return busyTimes > 0; });

    std::int64_t now = 0;
    while (in.remaining_bytes() > 0) {
        now += in.ConsumeIntegralInRange(0, 3000);
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0:
                modem.advance(now);
                break;
            case 1:
                modem.dropCarrier();
                break;
            case 2:
                modem.hangUpQuietly();
                break;
            default:
                modem.receive(QByteArray::fromStdString(in.ConsumeRandomLengthString(64)), now);
        }
        const std::int64_t due = modem.nextDue();
        require(due == -1 || due >= 0, "a negative moment is due");
        if (due >= 0 && due <= now) modem.advance(now);
        modem.takeOutput();
        modem.takeTranscript();
    }
    return 0;
}
