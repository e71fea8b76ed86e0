// Feeds the reader of the connection records arbitrary files: a record read
// is written and read back to the same text.
#include <cstddef>
#include <cstdint>

#include "dialup/phonebook/LineRecord.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    obu::LineRecord record;
    // Read in place: the input needs no copy of its own.
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!obu::parseRecordText(input, record)) return 0;
    require(record.handle != 0, "a record without a handle was read");

    const QByteArray text = obu::recordText(record);
    obu::LineRecord again;
    require(obu::parseRecordText(text, again), "a written record cannot be read");
    require(obu::recordText(again) == text, "a record changes when written and read back");
    return 0;
}
