#pragma once
#include <QString>
#include <array>

#include "model/Settings.h"

namespace obu {

// One extra: slots 1-4 are web pages, 5-8 programs; the kind follows from the number.
struct TExtraSlot {
    QString SlotPath;  // URL or program file, at most 255 characters
    QString SlotName;  // display name, at most 255 characters
    bool SlotSet = false;
    // The stored path was longer than its field holds: what is left of it
    // would open something else, so it is not started.
    bool PathCut = false;
};

constexpr int kExtraSlots = 8;

// Indexed 1..8 like the settings keys; element 0 is unused.
using TExtrasTable = std::array<TExtraSlot, kExtraSlots + 1>;
using TExtraFlags = std::array<bool, kExtraSlots + 1>;

inline bool isWebPageSlot(int n) {
    return n >= 1 && n <= 4;
}

// What the editor shows in a name edit whose slot has no name.
inline QString unsetNameText(int n) {
    return isWebPageSlot(n) ? QStringLiteral("Webpage Name %1").arg(n)
                            : QStringLiteral("Program Name %1").arg(n - 4);
}

// What the editor's OK does with one row, given the row's texts.
enum class RowChange {
    Clear,  // nothing to open: the slot is emptied and its light switched off
    Keep,   // the same name and path as stored: the slot and its light stay as they are
    Store,  // new texts: stored, and the light switched on
};

inline RowChange rowChange(int n, const TExtraSlot& stored, const QString& name,
                           const QString& path) {
    // "http://" is the empty address row as the editor fills it; the
    // comparison is exact, so "HTTP://" alone is an address.
    const bool nothing = path.isEmpty() || (isWebPageSlot(n) && path == QLatin1String("http://"));
    if (nothing) return RowChange::Clear;
    if (name == stored.SlotName && path == stored.SlotPath) return RowChange::Keep;
    return RowChange::Store;
}

}  // namespace obu
