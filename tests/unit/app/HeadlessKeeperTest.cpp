// The keeper without windows on virtual time, the real phone-book service and
// its modem inside the process: what it reads at start and saves at exit, when
// Connect on Start dials, what the alarm does, the extras once the line is up.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/HeadlessKeeper.h"
#include "dialup/phonebook/LineService.h"
#include "model/LineKeeper.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingSound.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {
namespace {

class HeadlessKeeperTest : public ::testing::Test {
protected:
    TempFolder folder;
    // 21:05:12 on 6/14/2001.
    VirtualTime time;
    ScriptedDialogs dialogs;
    Dispatcher dispatcher{dialogs, QStringLiteral("OBU v1.3")};
    Formats formats;
    IniFileProfile profile;
    // No phone book file: the demo entries serve.
    LineService lines{time, time,
                      LineService::Paths{folder.file(QStringLiteral("phonebook.pbk")),
                                         folder.file(QStringLiteral("lines"))}};
    RecordingSound sound;
    RecordingShell shell;
    FakeRegistry registry;
    Platform platform;
    std::unique_ptr<HeadlessKeeper> keeper;

    void SetUp() override {
        time.setDispatcher(&dispatcher);
        lines.setDeviceFactory(lines.simulatedModemFactory());
        platform.clock = &time;
        platform.loop = &time;
        platform.wallClock = &time;
        platform.dialogs = &dialogs;
        platform.dispatcher = &dispatcher;
        platform.profile = &profile;
        platform.formats = &formats;
        platform.dialUp = &lines;
        platform.sound = &sound;
        platform.shell = &shell;
        platform.registry = &registry;
        platform.programFolder = folder.path();
    }

    void startWith(const QByteArray& ini) {
        write(QStringLiteral("obu.ini"), ini);
        keeper = std::make_unique<HeadlessKeeper>(platform);
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(folder.file(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(folder.file(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The log's lines without their time stamps.
    QStringList logLines() const {
        QStringList messages;
        for (const QByteArray& line : read(QStringLiteral("log.txt")).split('\n')) {
            const QString text = QString::fromLatin1(line).trimmed();
            if (!text.isEmpty()) messages << text.mid(text.indexOf(QLatin1String("]: ")) + 3);
        }
        return messages;
    }
    bool up() const { return keeper->lineKeeper().state() == LineKeeper::State::Up; }
};

TEST_F(HeadlessKeeperTest, ConnectOnStartDialsAfterFiveSecondsAndTheExtrasFollowTheLine) {
    startWith(
        "[Connection]\r\nAutoConnect=1\r\nName=Demo ISP\r\nUsername=me\r\n"
        "[Extras Set]\r\n5=1\r\n[Extras Name]\r\n5=Tool\r\n[Extras Path]\r\n5=/opt/tool\r\n"
        "[Lights]\r\n5=1\r\n[Position]\r\nx=120\r\ny=80\r\n");
    EXPECT_EQ(logLines(), QStringList{"OBU Launched"});
    time.advance(4900);
    EXPECT_EQ(logLines(), QStringList{"OBU Launched"});
    time.advance(100);
    EXPECT_TRUE(logLines().contains("Connect requested by user"));
    for (int step = 0; step < 600 && !up(); ++step) time.advance(100);
    ASSERT_TRUE(up()) << logLines().join('|').toStdString();
    ASSERT_EQ(shell.calls.size(), 1);
    // Not executable here: opened with its application.
    EXPECT_EQ(shell.calls[0].command.value(0, shell.calls[0].target), "/opt/tool");

    // The keeper ends; the line stays up and the settings keep where the window stood.
    keeper.reset();
    EXPECT_EQ(logLines().last(), "OBU Closed");
    const QByteArray ini = read(QStringLiteral("obu.ini"));
    for (const char* stored : {"AutoConnect=1\r\n", "Name=Demo ISP\r\n", "Username=me\r\n",
                               "[Lights]\r\n5=1\r\n", "[Position]\r\nx=120\r\ny=80\r\n"})
        EXPECT_TRUE(ini.contains(stored)) << stored << " in " << ini.toStdString();
    QList<CallInfo> calls;
    lines.calls(&calls);
    EXPECT_EQ(calls.size(), 1);
}

TEST_F(HeadlessKeeperTest, TheAlarmDialsWithItsSound) {
    startWith(
        "[Alarm]\r\nDaily=0\r\nTime=6/14/2001 9:06:00  PM\r\n[Connection]\r\nName=Demo ISP\r\n");
    time.advance(50 * 1000);
    EXPECT_TRUE(logLines().contains("Connect requested by user"))
        << logLines().join('|').toStdString();
    EXPECT_EQ(sound.waves(), QStringList{"obualarm.okx"});
    // Done once: the one-time alarm cleared itself, and the exit stores that.
    keeper.reset();
    EXPECT_TRUE(read(QStringLiteral("obu.ini")).contains("[Alarm]\r\nDaily=0\r\nTime=\r\n"));
}

// With the line kept already, the daily alarm cannot dial: the log says so
// once for its minute, and nothing sounds.
TEST_F(HeadlessKeeperTest, AnAlarmThatCannotDialSaysWhyOnce) {
    startWith(
        "[Alarm]\r\nDaily=1\r\nTime=9:08:00  PM\r\n[Connection]\r\nName=Demo "
        "ISP\r\nAutoConnect=1\r\n");
    for (int step = 0; step < 600 && !up(); ++step) time.advance(100);
    ASSERT_TRUE(up());
    time.advanceTo(QDateTime(QDate(2001, 6, 14), QTime(21, 9, 30)));
    EXPECT_EQ(logLines().filter("Alarm did not dial: ").size(), 1)
        << logLines().join('|').toStdString();
    EXPECT_TRUE(sound.waves().isEmpty());
}

TEST_F(HeadlessKeeperTest, SettingsThatCannotBeReadAreSaidAndNotOverwritten) {
    // A folder where the file should be.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("obu.ini")));
    keeper = std::make_unique<HeadlessKeeper>(platform);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "OBU v1.3");
    keeper.reset();
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("obu.ini"))).isDir());
    EXPECT_EQ(logLines(), (QStringList{"OBU Launched", "OBU Closed"}));
}

}  // namespace
}  // namespace obu::test
