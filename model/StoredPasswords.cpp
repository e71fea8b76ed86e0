#include "model/StoredPasswords.h"

#include "model/PasswordCodec.h"
#include "platform/Errors.h"
#include "platform/PrintableText.h"
#include "platform/SecretStore.h"

namespace obu {
namespace {

const QString kPassword = QStringLiteral("Password");
const QString kInKeyring = QString::fromLatin1(StoredPasswords::kInKeyringKey);
const QString kConnection = QStringLiteral("Connection");

QString quoted(const QString& entry) {
    return QLatin1Char('"') + printableText(entry) + QLatin1Char('"');
}

}  // namespace

void StoredPasswords::useKeyring(SecretStore* keyring, std::function<void(const QString&)> say) {
    m_keyring = keyring;
    m_say = std::move(say);
}

void StoredPasswords::sayOnce(const QString& message) {
    if (!m_say || m_said.contains(message)) return;
    m_said.insert(message);
    m_say(message);
}

QString StoredPasswords::read(const QString& section, const QString& entry) {
    const QString stored = m_file.readString(section, kPassword, QString());
    if (stored.isEmpty() && m_file.readBool(section, kInKeyring, false)) return fromKeyring(entry);
    const QString password = decodePassword(stored);
    if (!password.isEmpty()) migrate(section, entry, password);
    return password;
}

QString StoredPasswords::fromKeyring(const QString& entry) {
    // Read as empty for want of the keyring: a save of that empty value
    // must not clear what the keyring keeps.
    m_unreadable.insert(entry);
    if (!m_keyring) {
        sayOnce(QStringLiteral("the password of %1 is in the keyring, which this copy does not "
                               "use; it is taken as empty")
                    .arg(quoted(entry)));
        return {};
    }
    if (const auto held = m_held.constFind(entry); held != m_held.constEnd()) return *held;
    QString secret;
    QString why;
    switch (m_keyring->find(entry, secret, why)) {
        case SecretStore::Found::Yes:
            m_unreadable.remove(entry);
            m_held.insert(entry, secret);
            return secret;
        case SecretStore::Found::No:
            m_unreadable.remove(entry);
            sayOnce(QStringLiteral("the keyring holds no password for %1; it is taken as empty")
                        .arg(quoted(entry)));
            return {};
        case SecretStore::Found::Failed:
            break;
    }
    sayOnce(QStringLiteral("the password of %1 cannot be read from the keyring (%2); it is taken "
                           "as empty")
                .arg(quoted(entry), why));
    return {};
}

// Stored first, then the file rewritten: a store that fails leaves the file
// as it was. A keyring that holds another password for the entry is left
// alone, so that neither of the two is lost.
void StoredPasswords::migrate(const QString& section, const QString& entry,
                              const QString& password) {
    if (!m_keyring || entry.isEmpty()) return;
    QString held;
    QString why;
    const auto found = m_keyring->find(entry, held, why);
    if (found == SecretStore::Found::Yes && held != password) {
        sayOnce(QStringLiteral("the keyring holds another password for %1; the one in %2 stays "
                               "there")
                    .arg(quoted(entry), m_file.fileName()));
        return;
    }
    if (found == SecretStore::Found::Failed ||
        (found == SecretStore::Found::No && !m_keyring->store(entry, password, why))) {
        sayOnce(QStringLiteral("the password of %1 stays in %2: the keyring cannot take it (%3)")
                    .arg(quoted(entry), m_file.fileName(), why));
        return;
    }
    m_held.insert(entry, password);
    SettingsFile::Changes changes;
    changes.writeString(section, kPassword, QString());
    changes.writeBool(section, kInKeyring, true);
    try {
        m_file.write(changes);
    } catch (const WriteError&) {
        // The file keeps the password as it was; the next read moves it again.
    }
}

void StoredPasswords::add(SettingsFile::Changes& changes, const QString& section,
                          const QString& entry, const QString& password) {
    const bool inKeyring = m_file.readBool(section, kInKeyring, false);
    if (inKeyring && password.isEmpty() && m_unreadable.contains(entry)) return;
    if (m_keyring && !entry.isEmpty() && !password.isEmpty()) {
        QString why;
        const auto held = m_held.constFind(entry);
        const bool kept = (held != m_held.constEnd() && *held == password) ||
                          m_keyring->store(entry, password, why);
        if (kept) {
            m_held.insert(entry, password);
            changes.writeString(section, kPassword, QString());
            changes.writeBool(section, kInKeyring, true);
            return;
        }
        sayOnce(QStringLiteral("the password of %1 is kept in %2: the keyring cannot take it (%3)")
                    .arg(quoted(entry), m_file.fileName(), why));
    }
    changes.writeString(section, kPassword, encodePassword(password));
    if (!inKeyring) return;
    changes.writeBool(section, kInKeyring, false);
    if (m_keyring && password.isEmpty() && !entry.isEmpty()) m_cleared << entry;
}

bool StoredPasswords::referred(const QString& entry) const {
    if (m_file.readBool(entry, kInKeyring, false)) return true;
    return m_file.readString(kConnection, QStringLiteral("Name"), QString()) == entry &&
           m_file.readBool(kConnection, kInKeyring, false);
}

void StoredPasswords::forgetUnused() {
    const QStringList cleared = std::exchange(m_cleared, {});
    for (const QString& entry : cleared) {
        if (!m_keyring || referred(entry)) continue;
        m_held.remove(entry);
        QString why;
        if (!m_keyring->remove(entry, why))
            sayOnce(QStringLiteral("the old password of %1 stays in the keyring (%2)")
                        .arg(quoted(entry), why));
    }
}

}  // namespace obu
