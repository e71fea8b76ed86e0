// The demo entries between real processes: obu-line dials them through the
// serial driver and our modem emulator on a pseudo-terminal; the emulator's
// process holds the connection after obu-line has ended, another process sees
// it and hangs it up, and the far end dropping the line is a drop like any other.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

#include "dialup/phonebook/LineService.h"
#include "tests/unit/dialup/modem/SerialTestSupport.h"

namespace obu::test {
namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

class SerialCrossProcessTest : public ::testing::Test {
protected:
    TempFolder folder;
    SystemClock clock;
    QtEventLoop loop;
    std::unique_ptr<LineService> service;

    void SetUp() override {
        application();
        QDir(folder.path()).mkdir("locks");
        service = std::make_unique<LineService>(clock, loop, paths());
    }
    void TearDown() override { obuLine({"hangup", "all"}); }
    LineService::Paths paths() const {
        LineService::Paths p{folder.file("phonebook.pbk"), folder.file("lines")};
        p.lockDir = folder.file("locks");
        return p;
    }
    ToolRun obuLine(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OBU_LINES_DIR", folder.file("lines"));
        // Missing: the demo phone book serves, unless a test writes one.
        env.insert("OBU_PHONEBOOK", folder.file("phonebook.pbk"));
        env.insert("OBU_LOCK_DIR", folder.file("locks"));
        env.insert("OBU_MODEM_PROGRAM", OBU_MODEM_PATH);
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(OBU_LINE_PATH, args);
        ToolRun run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.ms = timer.elapsed();
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    QStringList locks() const {
        return QDir(folder.file("locks"))
            .entryList(QStringList{"LCK..*"}, QDir::Files | QDir::System);
    }
};

TEST_F(SerialCrossProcessTest, DemoIspIsDialledOverAPseudoTerminalAndHeldByTheEmulatorUntilHungUp) {
    // Locks that anyone may lay in the shared folder under every name a
    // pseudo-terminal can have, each naming a live process: the emulator's
    // pseudo-terminal is the call's own and takes no lock, so none stops it.
    const QByteArray live = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
    for (int n = 0; n <= 300; ++n) folder.write("locks/LCK.." + QString::number(n), live);
    const QStringList laid = locks();
    ASSERT_EQ(laid.size(), 301);

    const ToolRun dial = obuLine({"dial", "Demo ISP", "joe", "pw"});
    ASSERT_EQ(dial.exitCode, 0) << dial.err.toStdString();
    // Realistic timing: three to five seconds.
    EXPECT_GE(dial.ms, 3000);
    EXPECT_LE(dial.ms, 6500);
    const QRegularExpression port("Port opened \\((/dev/pts/\\d+)\\)");
    const auto match = port.match(dial.out);
    ASSERT_TRUE(match.hasMatch()) << dial.out.toStdString();
    const QString pts = match.captured(1);

    // obu-line has ended; the connection is listed here and by another obu-line.
    const auto list = [&] {
        QList<CallInfo> calls;
        if (service->calls(&calls) != 0) calls.clear();
        return std::vector<CallInfo>(calls.begin(), calls.end());
    };
    ASSERT_EQ(list().size(), 1u);
    EXPECT_EQ(list()[0].entry, "Demo ISP");
    const ToolRun connections = obuLine({"connections"});
    EXPECT_TRUE(connections.out.contains(QRegularExpression(
        "Demo ISP +Connected +Simulated Modem on " + pts + " \\(modem\\).*held by emulator")))
        << connections.out.toStdString();
    LineRecord record;
    ASSERT_TRUE(service->record(list()[0].id, &record));
    EXPECT_EQ(record.port, pts.toLocal8Bit());
    const ProcessId holder{record.holder, record.holderStart};
    ASSERT_TRUE(processAlive(holder));
    EXPECT_EQ(locks(), laid);
    EXPECT_EQ(folder.read("locks/LCK.." + pts.mid(pts.lastIndexOf('/') + 1)), live);

    const ToolRun hangup = obuLine({"hangup", "Demo ISP"});
    EXPECT_EQ(hangup.exitCode, 0) << hangup.err.toStdString();
    EXPECT_TRUE(waitFor([&] { return !processAlive(holder); }, 10000));
    EXPECT_TRUE(list().empty());
    EXPECT_EQ(locks(), laid);
    EXPECT_TRUE(obuLine({"connections"}).out.contains("No connections."));
}

TEST_F(SerialCrossProcessTest, TheFailingDemoEntriesEndWithTheirCodes) {
    const struct {
        const char* entry;
        const char* message;
        int exitCode;  // a busy line is told apart from the other failures
    } cases[] = {
        {"Demo Always Busy", "failed at \"Connecting device\": error 676: The line is busy.", 4},
        {"Demo No Dial Tone", "failed at \"Connecting device\": error 680:", 1},
        {"Demo No Answer", "failed at \"Connecting device\": error 678:", 1},
        {"Demo Bad Password", "failed at \"Authenticating\": error 691:", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const ToolRun run = obuLine({"dial", c.entry});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("Port opened (/dev/pts/")) << run.out.toStdString();
        EXPECT_TRUE(locks().isEmpty());
    }
    EXPECT_TRUE(service->lines().empty());
}

TEST_F(SerialCrossProcessTest, TheFarEndDroppingTheLineIsSeenByEveryProcess) {
    folder.write(
        "phonebook.pbk",
        "[Drops]\nPhoneNumber=555-0150\nPortDelay=50\nDialDelay=200\nAuthDelay=100\n"
        "ProjectDelay=100\nDropAfter=2\n"
        "[Slow Login]\nPhoneNumber=555-0151\nPortDelay=50\nDialDelay=200\nAuthDelay=4000\n");
    const ToolRun dial = obuLine({"dial", "Drops"});
    ASSERT_EQ(dial.exitCode, 0) << dial.err.toStdString();
    ASSERT_EQ(service->lines().size(), 1u);
    const LineRecord up = service->lines()[0];
    EXPECT_TRUE(up.established());
    // No timer of ours: the emulator's provider hangs up, its process ends,
    // and the registry sees the holder gone.
    EXPECT_EQ(up.dropAt, 0);
    ASSERT_TRUE(waitFor([&] { return service->lines().empty(); }, 10000));
    EXPECT_FALSE(processAlive(ProcessId{up.holder, up.holderStart}));
    EXPECT_TRUE(waitFor([&] { return locks().isEmpty(); }, 5000));

    // Carrier lost in the middle of the call's set-up: the line dropped (619).
    QProcess dialer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OBU_LINES_DIR", folder.file("lines"));
    env.insert("OBU_PHONEBOOK", folder.file("phonebook.pbk"));
    env.insert("OBU_LOCK_DIR", folder.file("locks"));
    dialer.setProcessEnvironment(env);
    dialer.start(OBU_LINE_PATH, {"dial", "Slow Login"});
    ASSERT_TRUE(waitFor([&] {
        const auto lines = service->lines();
        return lines.size() == 1 && lines[0].state == CallState::Authenticate;
    }));
    // The emulator of this call: the obu-modem whose record is in our folder.
    bool signalled = false;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmd("/proc/" + pid + "/cmdline");
        if (!cmd.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = cmd.readAll();
        if (line.contains("obu-modem") && line.contains(folder.file("lines").toLocal8Bit())) {
            ::kill(pid.toInt(), SIGUSR1);
            signalled = true;
        }
    }
    ASSERT_TRUE(signalled);
    ASSERT_TRUE(dialer.waitForFinished(20000));
    EXPECT_EQ(dialer.exitCode(), 1);
    const QString err = QString::fromUtf8(dialer.readAllStandardError());
    EXPECT_TRUE(err.contains("failed at \"Authenticating\": error 619")) << err.toStdString();
}

TEST_F(SerialCrossProcessTest, AHolderKilledOutrightEndsItsConnectionAndFreesTheModem) {
    folder.write("phonebook.pbk",
                 "[Quick]\nPhoneNumber=555-0160\nPortDelay=50\nDialDelay=200\nAuthDelay=100\n"
                 "ProjectDelay=100\n");
    ASSERT_EQ(obuLine({"dial", "Quick"}).exitCode, 0);
    ASSERT_EQ(service->lines().size(), 1u);
    const LineRecord first = service->lines()[0];
    ASSERT_EQ(::kill(static_cast<pid_t>(first.holder), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return !processAlive(ProcessId{first.holder, first.holderStart}); }));
    // Straight away, before anyone has listed the connections: the modem is free.
    const ToolRun again = obuLine({"dial", "Quick"});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    const auto lines = service->lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].handle, first.handle);
    // The emulator's own pseudo-terminal takes no lock, so a killed holder leaves none.
    EXPECT_TRUE(locks().isEmpty()) << locks().join(' ').toStdString();
}

}  // namespace
}  // namespace obu::test
