#pragma once
#include <QString>

#include <functional>
#include <vector>

#include "model/SettingsFile.h"
#include "model/StoredPasswords.h"

namespace obu {

class Profile;
class SecretStore;

// Texts are held in fixed fields of 255 characters: longer ones are cut.
constexpr int kMaxFieldText = 255;

// Every key of obu.ini that the program reads or writes.
enum class Setting {
    // [Options]
    Sound,                 // Sound, default on
    MinimizeOnConnect,     // Minimize
    MinimizeDialUpWindow,  // Minimize Dun
    RedialIfBusy,          // Redial, default on
    // [Alarm]
    DailyAlarm,  // Daily
    AlarmTime,   // Time
    // [Connection]
    EntryName,       // Name
    UserName,        // Username
    Password,        // Password, stored encoded
    ConnectOnStart,  // AutoConnect
    KeepTrying,      // KeepTrying, default on: a failed reconnect dial is tried again
    CheckHost,       // CheckHost: host:port that a live line reaches; empty: not checked
    CheckSeconds,    // CheckSeconds, default 60
    // [Position], default 5 each
    WindowLeft,  // x
    WindowTop,   // y
    // [DTimer]
    DisconnectMinutes,  // Value
    // One key per extra, named by its slot number 1..8.
    ExtraLight,  // [Lights]
    ExtraSet,    // [Extras Set]
    ExtraName,   // [Extras Name]
    ExtraPath,   // [Extras Path]
    // The credentials last given for an entry, in a section named after the entry.
    EntryUserName,  // Username
    EntryPassword,  // Password, stored encoded
};

// One key of the file: a setting, with the extra's slot or the entry's name
// for the settings that need one.
struct SettingKey {
    SettingKey(Setting which) : setting(which) {}  // NOLINT: a plain setting is a key
    SettingKey(Setting which, int extraSlot) : setting(which), slot(extraSlot) {}
    SettingKey(Setting which, QString entryName) : setting(which), entry(std::move(entryName)) {}

    QString section() const;
    QString name() const;

    Setting setting;
    int slot = 0;
    QString entry;
};

// The settings file read and written by key, each key with its own default
// and stored form (flags as 0 and 1, passwords encoded or in the keyring).
// Each single write reaches the file at once; a set of changes reaches it in
// one replace.
class Settings {
public:
    Settings(Profile& profile, QString path) : m_file(profile, std::move(path)) {}
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // From now on the passwords live in `keyring` (StoredPasswords.h); `say`
    // hears, once each, why one could not be moved there or read from there.
    void useKeyring(SecretStore* keyring, std::function<void(const QString&)> say) {
        m_passwords.useKeyring(keyring, std::move(say));
    }

    const QString& fileName() const { return m_file.fileName(); }
    // Why the file cannot be read as a whole, in words for the user; empty
    // when it can be read or does not exist yet.
    QString readProblem() const { return m_file.readProblem(); }

    bool flag(const SettingKey& key) const;
    int number(const SettingKey& key) const;
    // The text of the key; a password comes back decoded, or from the keyring.
    QString text(const SettingKey& key) const;

    // Each throws WriteError when the file cannot be written.
    void setFlag(const SettingKey& key, bool value);
    void setNumber(const SettingKey& key, int value);
    // A password is stored encoded, or in the keyring.
    void setText(const SettingKey& key, const QString& value);

    // Writes gathered to reach the file together, in their order.
    class Changes {
    public:
        void setFlag(const SettingKey& key, bool value);
        void setNumber(const SettingKey& key, int value);
        void setText(const SettingKey& key, const QString& value);

    private:
        friend class Settings;
        enum class Kind { Flag, Number, Text };
        struct Step {
            SettingKey key;
            Kind kind;
            int number;
            QString text;
        };
        std::vector<Step> m_steps;
    };
    // All the changes in one replace of the file: it then holds all of them
    // or, when it cannot be written (WriteError), none. A password given to
    // the keyring stays there even then.
    void write(const Changes& changes);

private:
    // The entry whose password the key holds: the chosen connection's for
    // [Connection], else the entry the key is named after.
    QString passwordEntry(const SettingKey& key, const QString* chosen) const;

    SettingsFile m_file;
    // Reading a password may move it to the keyring.
    mutable StoredPasswords m_passwords{m_file};
};

}  // namespace obu
