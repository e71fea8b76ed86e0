// Feeds the reader of the connection records arbitrary files: a record read
// is written and read back to the same text, and its fixed-size images stay
// terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ras/ConnectionRegistry.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    obu::LineRecord record;
    if (!obu::parseRecordText(QByteArray(reinterpret_cast<const char*>(data), size), record))
        return 0;
    require(record.handle != 0, "a record without a handle was read");
    require(std::memchr(record.conn.szEntryName, 0, sizeof record.conn.szEntryName) &&
                std::memchr(record.conn.szDeviceName, 0, sizeof record.conn.szDeviceName) &&
                std::memchr(record.status.szDeviceType, 0, sizeof record.status.szDeviceType),
            "a record's image is not terminated");

    const QByteArray text = obu::recordText(record);
    obu::LineRecord again;
    require(obu::parseRecordText(text, again), "a written record cannot be read");
    require(obu::recordText(again) == text, "a record changes when written and read back");
    return 0;
}
