// Run by keyring.sh, not on its own: SecretServiceTest.* against a real
// gnome-keyring-daemon on a private session bus, SilentService.* on a bus
// without one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QThread>

#include "platform/SecretService.h"

namespace obu {
namespace {

const QString kEntry = QStringLiteral("Probe ISP");

SecretService::Options quick() {
    return SecretService::Options{false, 3000, 1000};
}

// Every item of ours is gone when a test starts.
struct SecretServiceTest : ::testing::Test {
    SecretService keyring{quick()};
    QString why;

    void SetUp() override {
        for (const QString& entry : {kEntry, QStringLiteral("Other"), QStringLiteral("Ünïcødé")})
            ASSERT_TRUE(keyring.remove(entry, why)) << why.toStdString();
    }
    QString found(const QString& entry) {
        QString secret;
        EXPECT_EQ(keyring.find(entry, secret, why), SecretStore::Found::Yes) << why.toStdString();
        return secret;
    }
};

TEST_F(SecretServiceTest, AnEntrysSecretIsStoredReplacedAndRemoved) {
    QString secret;
    EXPECT_EQ(keyring.find(kEntry, secret, why), SecretStore::Found::No) << why.toStdString();
    ASSERT_TRUE(keyring.store(kEntry, QStringLiteral("first"), why)) << why.toStdString();
    EXPECT_EQ(found(kEntry), QStringLiteral("first"));
    ASSERT_TRUE(keyring.store(kEntry, QStringLiteral("second"), why)) << why.toStdString();
    EXPECT_EQ(found(kEntry), QStringLiteral("second"));

    // One item, not two: the replaced one is gone from every collection.
    const QDBusMessage search = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"))
        << QVariant::fromValue(QMap<QString, QString>{
               {QStringLiteral("application"), QStringLiteral("obu-linekeeper")},
               {QStringLiteral("entry"), kEntry}}));
    ASSERT_EQ(search.type(), QDBusMessage::ReplyMessage) << search.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<QList<QDBusObjectPath>>(search.arguments().value(0)).size(), 1);

    ASSERT_TRUE(keyring.remove(kEntry, why)) << why.toStdString();
    EXPECT_EQ(keyring.find(kEntry, secret, why), SecretStore::Found::No);
    EXPECT_TRUE(keyring.remove(kEntry, why)) << "nothing left to remove is no failure";
}

TEST_F(SecretServiceTest, EntriesKeepTheirOwnSecretsWhateverTheirCharacters) {
    ASSERT_TRUE(keyring.store(kEntry, QStringLiteral("one"), why)) << why.toStdString();
    ASSERT_TRUE(keyring.store(QStringLiteral("Other"), QStringLiteral("two"), why));
    ASSERT_TRUE(keyring.store(QStringLiteral("Ünïcødé"), QStringLiteral("pä ss\twörd"), why));
    EXPECT_EQ(found(kEntry), QStringLiteral("one"));
    EXPECT_EQ(found(QStringLiteral("Other")), QStringLiteral("two"));
    EXPECT_EQ(found(QStringLiteral("Ünïcødé")), QStringLiteral("pä ss\twörd"));
    // Another program's client sees the same secret.
    SecretService other{quick()};
    QString secret;
    EXPECT_EQ(other.find(QStringLiteral("Other"), secret, why), SecretStore::Found::Yes);
    EXPECT_EQ(secret, QStringLiteral("two"));
}

// Locked, the keyring can only be opened through a prompt, which nobody
// could answer here: every call says so instead of waiting. Last, since the
// keyring stays locked.
TEST_F(SecretServiceTest, ZLockedWithoutADesktopEveryCallSaysWhy) {
    ASSERT_TRUE(keyring.store(kEntry, QStringLiteral("kept"), why)) << why.toStdString();
    QDBusMessage alias = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"))
        << QStringLiteral("default"));
    const auto collection = alias.arguments().value(0).value<QDBusObjectPath>();
    const QDBusMessage lock = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"))
        << QVariant::fromValue(QList<QDBusObjectPath>{collection}));
    ASSERT_EQ(lock.type(), QDBusMessage::ReplyMessage) << lock.errorMessage().toStdString();

    QString secret;
    EXPECT_EQ(keyring.find(kEntry, secret, why), SecretStore::Found::Failed);
    EXPECT_TRUE(why.contains(QLatin1String("locked"))) << why.toStdString();
    why.clear();
    EXPECT_FALSE(keyring.store(kEntry, QStringLiteral("new"), why));
    EXPECT_TRUE(why.contains(QLatin1String("locked"))) << why.toStdString();
}

// What keyring.sh expects the keyring to hold for an entry, through the
// program's own client.
TEST(HeldSecret, IsTheOneExpected) {
    const QString entry = qEnvironmentVariable("OBU_TEST_ENTRY");
    if (entry.isEmpty()) GTEST_SKIP() << "OBU_TEST_ENTRY and OBU_TEST_SECRET name it";
    SecretService keyring{quick()};
    QString secret;
    QString why;
    ASSERT_EQ(keyring.find(entry, secret, why), SecretStore::Found::Yes) << why.toStdString();
    EXPECT_EQ(secret, qEnvironmentVariable("OBU_TEST_SECRET"));
}

TEST(NoSecretService, EveryCallSaysThatNoneRuns) {
    SecretService keyring{quick()};
    QString why;
    QString secret;
    EXPECT_EQ(keyring.find(kEntry, secret, why), SecretStore::Found::Failed);
    EXPECT_EQ(why, QStringLiteral("no Secret Service runs on the session bus"));
    EXPECT_FALSE(keyring.store(kEntry, QStringLiteral("x"), why));
}

// Owns the service's name and never answers: its calls wait for the main
// thread, which is blocked in the call itself.
class Silent : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Secret.Service")
public:
    Q_SCRIPTABLE QDBusVariant OpenSession(const QString&, const QDBusVariant&) { return {}; }
};

TEST(NoSecretService, AServiceThatDoesNotAnswerHoldsTheProgramOnlyOnce) {
    QDBusConnection owner = QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("silent"));
    Silent silent;
    ASSERT_TRUE(owner.registerObject(QStringLiteral("/org/freedesktop/secrets"), &silent,
                                     QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(owner.registerService(QStringLiteral("org.freedesktop.secrets")));

    SecretService keyring{SecretService::Options{false, 1000, 1000}};
    QString why;
    QString secret;
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(keyring.find(kEntry, secret, why), SecretStore::Found::Failed);
    EXPECT_TRUE(why.contains(QLatin1String("did not answer"))) << why.toStdString();
    EXPECT_LT(took.elapsed(), 5000);
    took.restart();
    EXPECT_FALSE(keyring.store(kEntry, QStringLiteral("x"), why));
    EXPECT_LT(took.elapsed(), 200) << "not asked again";
    owner.unregisterService(QStringLiteral("org.freedesktop.secrets"));
}

// A Secret Service whose one collection is locked and opens through a
// prompt, answered as `dismiss` says; on a thread of its own, so that it
// answers while the client waits.
class PromptingService : public QDBusVirtualObject {
public:
    bool dismiss = false;
    QStringList calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        calls << member;
        const QDBusObjectPath collection(QStringLiteral("/c"));
        QDBusMessage reply = message.createReply();
        if (member == QLatin1String("OpenSession"))
            reply << QVariant::fromValue(QDBusVariant(QString()))
                  << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/s")));
        else if (member == QLatin1String("ReadAlias"))
            reply << QVariant::fromValue(collection);
        else if (member == QLatin1String("Get"))
            reply << QVariant::fromValue(QDBusVariant(true));
        else if (member == QLatin1String("Unlock"))
            reply << QVariant::fromValue(QList<QDBusObjectPath>{})
                  << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/p")));
        else if (member == QLatin1String("CreateItem"))
            reply << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/c/1")))
                  << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
        connection.send(reply);
        if (member == QLatin1String("Prompt")) {
            QDBusMessage completed = QDBusMessage::createSignal(
                QStringLiteral("/p"), QStringLiteral("org.freedesktop.Secret.Prompt"),
                QStringLiteral("Completed"));
            completed << dismiss
                      << QVariant::fromValue(
                             QDBusVariant(QVariant::fromValue(QList<QDBusObjectPath>{collection})));
            connection.send(completed);
        }
        return true;
    }
};

struct PromptTest : ::testing::Test {
    QThread thread;
    PromptingService service;
    QDBusConnection owner = QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("prompting"));
    QString why;

    void SetUp() override {
        service.moveToThread(&thread);
        thread.start();
        ASSERT_TRUE(
            owner.registerVirtualObject(QStringLiteral("/"), &service, QDBusConnection::SubPath));
        ASSERT_TRUE(owner.registerService(QStringLiteral("org.freedesktop.secrets")));
    }
    void TearDown() override {
        owner.unregisterService(QStringLiteral("org.freedesktop.secrets"));
        owner.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        thread.quit();
        thread.wait();
    }
};

TEST_F(PromptTest, ALockedKeyringOpensThroughThePromptWhereADesktopCanShowIt) {
    SecretService keyring{SecretService::Options{true, 3000, 5000}};
    EXPECT_TRUE(keyring.store(kEntry, QStringLiteral("x"), why)) << why.toStdString();
    EXPECT_TRUE(service.calls.contains(QStringLiteral("Prompt")));
    EXPECT_TRUE(service.calls.contains(QStringLiteral("CreateItem")));
}

TEST_F(PromptTest, ADismissedPromptOrNoDesktopLeavesTheKeyringLocked) {
    service.dismiss = true;
    SecretService keyring{SecretService::Options{true, 3000, 5000}};
    EXPECT_FALSE(keyring.store(kEntry, QStringLiteral("x"), why));
    EXPECT_EQ(why, QStringLiteral("the keyring's prompt was dismissed"));
    EXPECT_FALSE(service.calls.contains(QStringLiteral("CreateItem")));

    service.calls.clear();
    SecretService headless{quick()};
    EXPECT_FALSE(headless.store(kEntry, QStringLiteral("x"), why));
    EXPECT_TRUE(why.contains(QLatin1String("no desktop"))) << why.toStdString();
    EXPECT_FALSE(service.calls.contains(QStringLiteral("Prompt")));
}

}  // namespace
}  // namespace obu

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "SecretServiceTest.moc"
