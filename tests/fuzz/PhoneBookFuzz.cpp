// Feeds the phone-book reader arbitrary files: every entry it keeps must be
// found again by its own name.
#include <cstddef>
#include <cstdint>

#include "dialup/phonebook/PhoneBook.h"
#include "tests/fuzz/Require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const obu::PhoneBook book =
        obu::PhoneBook::parse(QByteArray(reinterpret_cast<const char*>(data), size));
    for (const obu::PhoneBookEntry& e : book.entries) {
        const obu::PhoneBookEntry* found = book.find(e.name);
        require(found != nullptr, "an entry is not found by its own name");
        require(found->name.compare(e.name, Qt::CaseInsensitive) == 0,
                "an entry's name finds another entry");
    }
    return 0;
}
