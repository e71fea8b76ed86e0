#pragma once
#include <QString>

namespace obu {

// The user's keyring: one secret per dial-up entry, found by the entry's name.
// Every call answers at once or within a few seconds; a failure comes with
// why, in words for the user.
class SecretStore {
public:
    enum class Found { Yes, No, Failed };

    virtual ~SecretStore() = default;

    // The entry's secret; No when the keyring holds none for it.
    virtual Found find(const QString& entry, QString& secret, QString& why) = 0;
    // Adds the entry's secret or replaces the one it had.
    virtual bool store(const QString& entry, const QString& secret, QString& why) = 0;
    // Removes the entry's secret; true when none is left.
    virtual bool remove(const QString& entry, QString& why) = 0;
};

}  // namespace obu
