#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "model/SettingsFile.h"

namespace obu {

class SecretStore;

// The password keys of obu.ini, each in the section of its entry or of the
// chosen connection. Without a keyring a password is kept in its shifted form
// (PasswordCodec). With one, the keyring keeps it under the entry's name and
// the section holds an empty Password= with PasswordInKeyring=1; a password
// still in the shifted form moves there the first time it is read.
//
// A password is never lost on the way: one that the keyring does not take
// stays in the file as before, and one that the keyring cannot give back
// reads as empty, and saving that empty value leaves the keys as they were.
// Each problem is said once, in words, through `say`.
class StoredPasswords {
public:
    explicit StoredPasswords(SettingsFile& file) : m_file(file) {}

    void useKeyring(SecretStore* keyring, std::function<void(const QString&)> say);
    bool usesKeyring() const { return m_keyring != nullptr; }

    // The password of the key in `section`, which belongs to `entry`.
    QString read(const QString& section, const QString& entry);
    // Adds the assignments that store the password to `changes`; the
    // keyring, when in use, has it already when this returns.
    void add(SettingsFile::Changes& changes, const QString& section, const QString& entry,
             const QString& password);
    // After the changes reached the file: the keyring's items that no key
    // refers to any longer (their passwords were cleared) are removed.
    void forgetUnused();

    static constexpr const char* kInKeyringKey = "PasswordInKeyring";

private:
    QString fromKeyring(const QString& entry);
    void migrate(const QString& section, const QString& entry, const QString& password);
    bool referred(const QString& entry) const;
    void sayOnce(const QString& message);

    SettingsFile& m_file;
    SecretStore* m_keyring = nullptr;
    std::function<void(const QString&)> m_say;
    // What the keyring is known to hold for an entry, read or stored in this run.
    QHash<QString, QString> m_held;
    QStringList m_cleared;
    // Entries whose password the keyring kept but could not give this run.
    QSet<QString> m_unreadable;
    QSet<QString> m_said;
};

}  // namespace obu
