#pragma once
#include <QString>
#include <array>

namespace obu {

// One extra: slots 1-4 are web pages, 5-8 programs; the kind follows from the number.
struct TExtraSlot {
    QString SlotPath;  // URL or program file, at most 255 characters
    QString SlotName;  // display name, at most 255 characters
    bool SlotSet = false;
};

constexpr int kExtraSlots = 8;
// Texts held in the fixed fields of the original: longer ones are cut.
constexpr int kMaxFieldText = 255;

// Indexed 1..8 like the settings keys; element 0 is unused.
using TExtrasTable = std::array<TExtraSlot, kExtraSlots + 1>;
using TExtraFlags = std::array<bool, kExtraSlots + 1>;

inline bool isWebPageSlot(int n) { return n >= 1 && n <= 4; }

}  // namespace obu
