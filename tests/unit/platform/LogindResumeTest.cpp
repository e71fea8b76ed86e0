#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <memory>

#include "platform/LogindResume.h"
#include "platform/QtEventLoop.h"
#include "tests/support/RealLoop.h"

using namespace obu;
using namespace obu::test;

namespace {

// A program of the test, started by it and ended by its process id.
class Helper {
public:
    Helper(const QString& program, const QStringList& arguments) {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~Helper() {
        if (m_process.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(10000)) {
            ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
            m_process.waitForFinished(10000);
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    // The next line it says; empty when none comes in time.
    QString nextLine(int maxMs = 10000) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!m_process.canReadLine() && elapsed.elapsed() < maxMs)
            m_process.waitForReadyRead(100);
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    void tell(const QByteArray& word) {
        m_process.write(word + '\n');
        m_process.waitForBytesWritten(10000);
    }

private:
    QProcess m_process;
};

// A private bus with a stand-in logind on it when a test asks for one.
struct LogindResumeTest : ::testing::Test {
    void SetUp() override {
        application();
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        bus = std::make_unique<Helper>(QStringLiteral("dbus-daemon"),
                                       QStringList{"--session", "--nofork", "--print-address=1"});
        address = bus->nextLine();
        ASSERT_FALSE(address.isEmpty()) << "the bus did not start";
    }
    void TearDown() override {
        for (const QString& name : connections) QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection connect(const QString& name) {
        connections << name;
        return QDBusConnection::connectToBus(address, name);
    }
    void startLogind() {
        logind = std::make_unique<Helper>(QStringLiteral(OBU_LOGIN_STAND_IN), QStringList{address});
        ASSERT_EQ(logind->nextLine(), "ready");
    }
    void logindSays(const QByteArray& word) {
        logind->tell(word);
        ASSERT_EQ(logind->nextLine(), "sent");
    }

    QtEventLoop loop;
    std::unique_ptr<Helper> bus;
    std::unique_ptr<Helper> logind;
    QString address;
    QStringList connections;
    QStringList warnings;
    std::function<void(const QString&)> warn = [this](const QString& line) { warnings << line; };
};

}  // namespace

TEST_F(LogindResumeTest, OnlyLogindsWakeFromSleepIsAResume) {
    startLogind();
    LogindResume resume(loop, connect(QStringLiteral("obu-test-program")), warn);
    QSignalSpy resumed(&resume, &ResumeSource::resumed);
    pumpFor(200);
    logindSays("sleep");
    pumpFor(200);
    EXPECT_EQ(resumed.count(), 0) << "going to sleep is not waking";

    // The same signal from anybody else is not logind's word.
    QDBusConnection impostor = connect(QStringLiteral("obu-test-impostor"));
    QDBusMessage fake = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                   QStringLiteral("org.freedesktop.login1.Manager"),
                                                   QStringLiteral("PrepareForSleep"));
    fake << false;
    impostor.send(fake);
    impostor.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    logindSays("wake");
    ASSERT_TRUE(pumpUntil([&] { return resumed.count() >= 1; }));
    pumpFor(200);
    EXPECT_EQ(resumed.count(), 1);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(LogindResumeTest, WithoutLogindOrABusItSaysSoOnceAndALaterLogindIsHeard) {
    LogindResume resume(loop, connect(QStringLiteral("obu-test-program")), warn);
    QSignalSpy resumed(&resume, &ResumeSource::resumed);
    ASSERT_TRUE(pumpUntil([&] { return !warnings.isEmpty(); }));
    EXPECT_EQ(warnings, QStringList{LogindResume::kUnreachableMessage});

    startLogind();
    logindSays("wake");
    ASSERT_TRUE(pumpUntil([&] { return resumed.count() == 1; }));
    EXPECT_EQ(warnings.size(), 1);

    QStringList noBus;
    LogindResume alone(loop,
                       QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                     QStringLiteral("obu-test-no-bus")),
                       [&](const QString& line) { noBus << line; });
    connections << QStringLiteral("obu-test-no-bus");
    pumpFor(100);
    EXPECT_EQ(noBus, QStringList{LogindResume::kUnreachableMessage});
}
