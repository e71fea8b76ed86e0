#include <gtest/gtest.h>

#include <QMap>

#include "model/PasswordCodec.h"
#include "model/Settings.h"
#include "platform/IniFileProfile.h"
#include "platform/SecretStore.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

// A keyring in memory; `broken` makes every call fail with that reason.
struct FakeKeyring : SecretStore {
    QMap<QString, QString> items;
    QString broken;
    int stores = 0;

    Found find(const QString& entry, QString& secret, QString& why) override {
        if (!broken.isEmpty()) return why = broken, Found::Failed;
        if (!items.contains(entry)) return Found::No;
        secret = items.value(entry);
        return Found::Yes;
    }
    bool store(const QString& entry, const QString& secret, QString& why) override {
        ++stores;
        if (!broken.isEmpty()) return why = broken, false;
        items.insert(entry, secret);
        return true;
    }
    bool remove(const QString& entry, QString& why) override {
        if (!broken.isEmpty()) return why = broken, false;
        items.remove(entry);
        return true;
    }
};

struct KeyringPasswordsTest : ::testing::Test {
    test::TempFolder folder;
    IniFileProfile profile;
    Settings settings{profile, folder.file("obu.ini")};
    FakeKeyring keyring;
    QStringList said;

    void useKeyring() {
        settings.useKeyring(&keyring, [this](const QString& problem) { said << problem; });
    }
    // An obu.ini of today: the chosen connection and its entry's section,
    // both with the shifted password.
    void writeShifted(const QString& password) {
        const QByteArray stored = encodePassword(password).toLatin1();
        folder.write("obu.ini", "[Connection]\r\nName=Home\r\nUsername=ann\r\nPassword=" + stored +
                                    "\r\n[Home]\r\nUsername=ann\r\nPassword=" + stored + "\r\n");
    }
    QByteArray file() const { return folder.read("obu.ini"); }
};

const QByteArray kBothInKeyring =
    "[Connection]\r\nName=Home\r\nUsername=ann\r\nPassword=\r\nPasswordInKeyring=1\r\n"
    "[Home]\r\nUsername=ann\r\nPassword=\r\nPasswordInKeyring=1\r\n";

}  // namespace

// The first read moves the password to the keyring, section by section; later
// reads take it from there, even from a fresh Settings of the same file.
TEST_F(KeyringPasswordsTest, APasswordMovesToTheKeyringWhenFirstRead) {
    writeShifted(QStringLiteral("s3cret"));
    useKeyring();
    EXPECT_EQ(settings.text(Setting::Password), QStringLiteral("s3cret"));
    EXPECT_EQ(keyring.items.value(QStringLiteral("Home")), QStringLiteral("s3cret"));
    EXPECT_EQ(settings.text({Setting::EntryPassword, QStringLiteral("Home")}),
              QStringLiteral("s3cret"));
    EXPECT_EQ(file(), kBothInKeyring);
    EXPECT_EQ(keyring.stores, 1) << "the second section's password was the same";

    Settings again{profile, folder.file("obu.ini")};
    again.useKeyring(&keyring, {});
    EXPECT_EQ(again.text(Setting::Password), QStringLiteral("s3cret"));
    EXPECT_TRUE(said.isEmpty()) << said.join(QLatin1Char('\n')).toStdString();
}

// A keyring that does not take the password leaves the file as it was, and
// says why once however often the password is read.
TEST_F(KeyringPasswordsTest, APasswordTheKeyringRefusesStaysInTheFile) {
    writeShifted(QStringLiteral("s3cret"));
    const QByteArray before = file();
    keyring.broken = QStringLiteral("no Secret Service runs on the session bus");
    useKeyring();
    EXPECT_EQ(settings.text(Setting::Password), QStringLiteral("s3cret"));
    EXPECT_EQ(settings.text(Setting::Password), QStringLiteral("s3cret"));
    EXPECT_EQ(file(), before);
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains(QLatin1String("no Secret Service"))) << said[0].toStdString();
}

// Two passwords for one entry (the file's and another in the keyring): neither
// is given up.
TEST_F(KeyringPasswordsTest, AnotherPasswordInTheKeyringIsNotOverwritten) {
    writeShifted(QStringLiteral("from-file"));
    keyring.items.insert(QStringLiteral("Home"), QStringLiteral("from-keyring"));
    const QByteArray before = file();
    useKeyring();
    EXPECT_EQ(settings.text(Setting::Password), QStringLiteral("from-file"));
    EXPECT_EQ(keyring.items.value(QStringLiteral("Home")), QStringLiteral("from-keyring"));
    EXPECT_EQ(file(), before);
    EXPECT_EQ(said.size(), 1);
}

// A password kept in the keyring that cannot be had reads as empty and is said:
// the keyring failing, holding nothing for the entry, or a copy without one.
TEST_F(KeyringPasswordsTest, AKeyringPasswordThatCannotBeHadReadsAsEmpty) {
    folder.write("obu.ini", kBothInKeyring);
    EXPECT_EQ(settings.text(Setting::Password), QString()) << "a portable copy";
    useKeyring();
    EXPECT_EQ(settings.text({Setting::EntryPassword, QStringLiteral("Home")}), QString());
    keyring.broken = QStringLiteral("the Secret Service did not answer within 3 s");
    Settings broken{profile, folder.file("obu.ini")};
    broken.useKeyring(&keyring, [this](const QString& problem) { said << problem; });
    EXPECT_EQ(broken.text(Setting::Password), QString());
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].contains(QLatin1String("holds no password for \"Home\"")));
    EXPECT_TRUE(said[1].contains(QLatin1String("did not answer"))) << said[1].toStdString();
    EXPECT_EQ(file(), kBothInKeyring);
}

// The exit save writes back the empty password that a keyring out of reach
// gave: the keys still point to the keyring, which still holds it.
TEST_F(KeyringPasswordsTest, AnEmptyPasswordReadForWantOfTheKeyringIsNotSavedOverIt) {
    folder.write("obu.ini", kBothInKeyring);
    keyring.items.insert(QStringLiteral("Home"), QStringLiteral("s3cret"));
    keyring.broken = QStringLiteral("no session bus");
    useKeyring();
    Settings::Changes exitSave;
    exitSave.setText(Setting::EntryName, QStringLiteral("Home"));
    exitSave.setText(Setting::Password, settings.text(Setting::Password));
    settings.write(exitSave);
    EXPECT_EQ(file(), kBothInKeyring);
    keyring.broken.clear();
    EXPECT_EQ(keyring.items.value(QStringLiteral("Home")), QStringLiteral("s3cret"));

    Settings portable{profile, folder.file("obu.ini")};
    portable.setText(Setting::Password, portable.text(Setting::Password));
    EXPECT_EQ(file(), kBothInKeyring) << "a copy without a keyring leaves it alone too";
}

// The connection panel's OK: single writes, the entry chosen first. Saved
// again unchanged (the exit save), the keyring is not asked again.
TEST_F(KeyringPasswordsTest, SavingWritesToTheKeyringAndEmptiesThePasswordKeys) {
    useKeyring();
    settings.setText(Setting::EntryName, QStringLiteral("Home"));
    settings.setText(Setting::UserName, QStringLiteral("ann"));
    settings.setText(Setting::Password, QStringLiteral("s3cret"));
    settings.setText({Setting::EntryUserName, QStringLiteral("Home")}, QStringLiteral("ann"));
    settings.setText({Setting::EntryPassword, QStringLiteral("Home")}, QStringLiteral("s3cret"));
    EXPECT_EQ(file(), kBothInKeyring);
    EXPECT_EQ(keyring.items.value(QStringLiteral("Home")), QStringLiteral("s3cret"));

    Settings::Changes exitSave;
    exitSave.setText(Setting::EntryName, QStringLiteral("Home"));
    exitSave.setText(Setting::Password, QStringLiteral("s3cret"));
    const int stores = keyring.stores;
    settings.write(exitSave);
    EXPECT_EQ(keyring.stores, stores);
    EXPECT_EQ(file(), kBothInKeyring);
}

// Changes that choose another entry store the password under that entry,
// in the order of the keys as before.
TEST_F(KeyringPasswordsTest, ChangesStoreThePasswordUnderTheEntryTheyChoose) {
    writeShifted(QStringLiteral("old"));
    useKeyring();
    Settings::Changes changes;
    changes.setText(Setting::EntryName, QStringLiteral("Work"));
    changes.setText(Setting::Password, QStringLiteral("new"));
    changes.setFlag(Setting::ConnectOnStart, true);
    settings.write(changes);
    EXPECT_EQ(keyring.items.value(QStringLiteral("Work")), QStringLiteral("new"));
    EXPECT_FALSE(keyring.items.contains(QStringLiteral("Home")));
    EXPECT_TRUE(
        file().startsWith("[Connection]\r\nName=Work\r\nUsername=ann\r\nPassword=\r\n"
                          "PasswordInKeyring=1\r\nAutoConnect=1\r\n"))
        << file().toStdString();
}

// A keyring that refuses a saved password: the file keeps it as before, and
// a section that said "in the keyring" no longer does.
TEST_F(KeyringPasswordsTest, ASaveTheKeyringRefusesGoesToTheFile) {
    folder.write("obu.ini", kBothInKeyring);
    keyring.broken = QStringLiteral("the keyring is locked");
    useKeyring();
    settings.setText({Setting::EntryPassword, QStringLiteral("Home")}, QStringLiteral("s3cret"));
    EXPECT_TRUE(file().endsWith("[Home]\r\nUsername=ann\r\nPassword=" +
                                encodePassword(QStringLiteral("s3cret")).toLatin1() +
                                "\r\nPasswordInKeyring=0\r\n"))
        << file().toStdString();
    EXPECT_EQ(settings.text({Setting::EntryPassword, QStringLiteral("Home")}),
              QStringLiteral("s3cret"));
    EXPECT_EQ(said.size(), 2) << "the refused store, then the refused move on reading";
}

// A cleared password leaves the keyring once no key refers to its item.
TEST_F(KeyringPasswordsTest, AClearedPasswordLeavesTheKeyringWithItsLastKey) {
    folder.write("obu.ini", kBothInKeyring);
    keyring.items.insert(QStringLiteral("Home"), QStringLiteral("s3cret"));
    useKeyring();
    settings.setText(Setting::Password, QString());
    EXPECT_TRUE(keyring.items.contains(QStringLiteral("Home"))) << "[Home] still refers to it";
    settings.setText({Setting::EntryPassword, QStringLiteral("Home")}, QString());
    EXPECT_FALSE(keyring.items.contains(QStringLiteral("Home")));
    EXPECT_EQ(file(),
              "[Connection]\r\nName=Home\r\nUsername=ann\r\nPassword=\r\nPasswordInKeyring=0\r\n"
              "[Home]\r\nUsername=ann\r\nPassword=\r\nPasswordInKeyring=0\r\n");
}

// A portable copy writes today's form, without the new key.
TEST_F(KeyringPasswordsTest, WithoutAKeyringTheFileKeepsTodaysForm) {
    settings.setText({Setting::EntryPassword, QStringLiteral("Home")}, QStringLiteral("ab"));
    EXPECT_EQ(file(), "[Home]\r\nPassword=hi\r\n");
}
