// Feeds the INI text rules arbitrary files, names and values. Input layout
// (FuzzedDataProvider): section, key, value, a second section and key, each
// ended by a backslash and one more byte; the rest is the file's text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/IniText.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool hasBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::size_t breakCount(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == '\n' || (s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n'))) ++n;
    return n;
}

std::string breaksToBlanks(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

// The name as the rules compare it: CR/LF as blanks, trimmed, ASCII lower case.
std::string comparable(const std::string& name) {
    std::string s = breaksToBlanks(name);
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    s = s.substr(b, s.find_last_not_of(" \t") - b + 1);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(80);
    const std::string otherSection = in.ConsumeRandomLengthString(24);
    const std::string otherKey = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const std::optional<std::string> before = obu::ini::lookup(text, section, key);
    const std::optional<std::string> otherBefore = obu::ini::lookup(text, otherSection, otherKey);
    require(!before || !hasBreak(*before), "a value read spans lines");

    const std::string stored = obu::ini::storedForm(value);
    require(!hasBreak(stored), "the stored form of a value holds a line break");

    bool changed = false;
    const std::string after = obu::ini::assign(text, section, key, value, &changed);
    if (!obu::ini::isStorableKey(key)) {
        require(!changed && after == text, "a refused key changed the text");
        return 0;
    }

    const std::string wanted = breaksToBlanks(value);
    require(obu::ini::lookup(after, section, key) == wanted, "the value does not read back");
    require(changed == (before != wanted), "changed flag disagrees with the old value");
    require(changed || after == text, "unchanged but the text differs");

    bool again = true;
    require(obu::ini::assign(after, section, key, value, &again) == after && !again,
            "writing the same value twice changed the text");

    if (comparable(otherSection) != comparable(section) || comparable(otherKey) != comparable(key))
        require(obu::ini::lookup(after, otherSection, otherKey) == otherBefore,
                "another key changed");

    // Only the written line changes, or up to three whole lines are added:
    // whatever the old text loses lies inside one line.
    std::size_t prefix = 0;
    while (prefix < text.size() && prefix < after.size() && text[prefix] == after[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < text.size() - prefix && suffix < after.size() - prefix &&
           text[text.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string lost = text.substr(prefix, text.size() - prefix - suffix);
    const std::string added = after.substr(prefix, after.size() - prefix - suffix);
    require(!hasBreak(lost), "bytes of other lines were lost");
    require(breakCount(after) <= breakCount(text) + 3, "more than three lines were added");
    require(lost.empty() || !hasBreak(added), "a changed value split its line");
    return 0;
}
