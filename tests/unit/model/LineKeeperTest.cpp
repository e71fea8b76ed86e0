// The line keeper's rules without windows: the real phone-book service with
// its demo entries and the modem inside the process, on virtual time.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "dialup/phonebook/LineService.h"
#include "model/EventLog.h"
#include "model/LineKeeper.h"
#include "model/Settings.h"
#include "model/UserOptions.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {
namespace {

class LineKeeperTest : public ::testing::Test {
protected:
    TempFolder folder;
    VirtualTime time;
    ScriptedDialogs dialogs;
    Dispatcher dispatcher{dialogs, QStringLiteral("OBU v1.3")};
    Formats formats;
    IniFileProfile profile;
    // No phone book file: the demo entries serve.
    LineService lines{time, time,
                      LineService::Paths{folder.file(QStringLiteral("phonebook.pbk")),
                                         folder.file(QStringLiteral("lines"))}};
    Platform platform;
    Settings settings{profile, folder.file(QStringLiteral("obu.ini"))};
    EventLog log{time, formats, folder.file(QStringLiteral("log.txt"))};
    UserOptions options{settings};
    std::unique_ptr<LineKeeper> keeper;
    // What the windows would show.
    QString status;
    bool itemShowsConnect = true;
    QStringList shown;

    void SetUp() override {
        time.setDispatcher(&dispatcher);
        lines.setDeviceFactory(lines.simulatedModemFactory());
        platform.clock = &time;
        platform.loop = &time;
        platform.dialogs = &dialogs;
        platform.dialUp = &lines;
        log.start(QStringLiteral("OBU Launched"));
        keeper = std::make_unique<LineKeeper>(platform, settings, log, options);
        QObject::connect(keeper.get(), &LineKeeper::statusChanged,
                         [this](const QString& text) { status = text; });
        QObject::connect(keeper.get(), &LineKeeper::connectItemChanged,
                         [this](bool free) { itemShowsConnect = free; });
        QObject::connect(keeper.get(), &LineKeeper::connectCommandEnabled, [this](bool on) {
            shown << (on ? QStringLiteral("enabled") : QStringLiteral("disabled"));
        });
        QObject::connect(keeper.get(), &LineKeeper::reconnectOffered,
                         [this] { shown << QStringLiteral("reconnect offered"); });
        QObject::connect(keeper.get(), &LineKeeper::disconnectWarningStarted,
                         [this] { shown << QStringLiteral("warning"); });
        QObject::connect(keeper.get(), &LineKeeper::connected,
                         [this] { shown << QStringLiteral("connected"); });
    }
    void dial(const QString& entry) {
        keeper->chooseEntry(entry, QStringLiteral("joe"), QStringLiteral("secret"));
        keeper->toggleConnection();
    }
    bool connected() {
        return time.advanceUntil([&] { return status.startsWith(QStringLiteral("Connected to")); },
                                 60000);
    }
    CallId onlyConnection() {
        QList<CallInfo> calls;
        lines.calls(&calls);
        return calls.size() == 1 ? calls[0].id : 0;
    }
    QStringList logMessages() const {
        static const QRegularExpression stamp(QStringLiteral("^\\[[^\\]]*\\]: "));
        QStringList messages;
        for (const QString& line : QString::fromLatin1(folder.read(QStringLiteral("log.txt")))
                                       .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            messages << QString(line).remove(stamp);
        messages.removeFirst();
        return messages;
    }
};

TEST_F(LineKeeperTest, ABusyLineIsReportedUnlessTheOptionRedialsIt) {
    ASSERT_FALSE(options.isOn(UserOptions::Option::RedialIfBusy)) << "off until the file is read";
    dial(QStringLiteral("Demo Always Busy"));
    EXPECT_TRUE(keeper->sessionActive());
    ASSERT_TRUE(time.advanceUntil([&] { return !dialogs.boxes().empty(); }, 30000));
    EXPECT_EQ(dialogs.boxes().front().caption, "Line Busy");
    EXPECT_FALSE(keeper->sessionActive());
    EXPECT_TRUE(itemShowsConnect);
    EXPECT_EQ(logMessages().mid(1), QStringList({"Line was busy", "Connection Terminated by OBU"}));
    EXPECT_EQ(onlyConnection(), 0u);

    // Redialled: the command rests while it happens, and the line comes up at last.
    dialogs.clear();
    options.toggle(UserOptions::Option::RedialIfBusy);
    dial(QStringLiteral("Demo Busy"));
    ASSERT_TRUE(connected());
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_TRUE(logMessages().contains("Line was busy - attempting to reconnect"));
    EXPECT_EQ(shown.mid(0, 2), QStringList({"disabled", "enabled"}));
    EXPECT_TRUE(keeper->sessionActive());
    EXPECT_FALSE(itemShowsConnect);
    EXPECT_EQ(keeper->detectedCall(), 0u) << "nothing looked for a line before it was up";
    time.advance(100);
    EXPECT_EQ(keeper->detectedCall(), keeper->call().callId());
}

TEST_F(LineKeeperTest, ADropCountsDownAndRedialsOrEndsTheSessionWhenCancelled) {
    dial(QStringLiteral("Demo ISP"));
    ASSERT_TRUE(connected());
    time.advance(100);
    ASSERT_TRUE(keeper->watchingForDrop());
    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    time.advance(20);
    EXPECT_TRUE(shown.contains("reconnect offered"));
    EXPECT_TRUE(keeper->reconnectCountdown().running());
    EXPECT_FALSE(keeper->watchingForDrop());
    time.advance(10000);
    EXPECT_FALSE(logMessages().contains("Attempting to Reconnect.")) << "at 0, not yet";
    time.advance(1000);
    EXPECT_EQ(logMessages().mid(logMessages().size() - 2),
              QStringList({"Connection Terminated by unknown source", "Attempting to Reconnect."}));
    shown.clear();
    status.clear();
    ASSERT_TRUE(connected());
    EXPECT_EQ(shown, QStringList({"connected"}));

    // Dropped again and cancelled: the session ends and nothing is dialled.
    time.advance(100);
    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    time.advance(3000);
    keeper->cancelReconnect();
    EXPECT_FALSE(keeper->reconnectCountdown().running());
    EXPECT_FALSE(keeper->sessionActive());
    EXPECT_TRUE(keeper->readyToConnect());
    EXPECT_TRUE(itemShowsConnect);
    EXPECT_EQ(logMessages().last(), "Reconnect canceled by user");
    time.advance(30000);
    EXPECT_EQ(onlyConnection(), 0u);
    EXPECT_TRUE(keeper->mayDialAtAlarm());
}

TEST_F(LineKeeperTest, AReconnectThatFindsTheLineBusyIsRedialledToo) {
    options.toggle(UserOptions::Option::RedialIfBusy);
    dial(QStringLiteral("Demo Busy"));
    ASSERT_TRUE(connected());
    EXPECT_FALSE(keeper->monitoringDial()) << "nothing to look for while the line is up";
    time.advance(100);
    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    status.clear();
    time.advance(11000);
    ASSERT_TRUE(connected());
    EXPECT_EQ(logMessages().count("Line was busy - attempting to reconnect"), 4);
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(LineKeeperTest, TheDisconnectTimerWarnsThenHangsUpAndTheNextDialStartsAfresh) {
    settings.setNumber(Setting::DisconnectMinutes, 1);
    dial(QStringLiteral("Demo ISP"));
    ASSERT_TRUE(connected());
    EXPECT_EQ(keeper->disconnectWarningAfterMs(), 30000);
    time.advance(29900);
    EXPECT_FALSE(shown.contains("warning"));
    time.advance(200);
    EXPECT_TRUE(shown.contains("warning"));
    EXPECT_EQ(keeper->disconnectCountdown().secondsLeft(), 30);
    EXPECT_EQ(onlyConnection(), keeper->detectedCall()) << "the warning only warns";
    time.advance(31000);
    EXPECT_EQ(logMessages().last(), "Disconnection made by disconnect timer");
    EXPECT_FALSE(keeper->sessionActive());
    EXPECT_EQ(onlyConnection(), 0u);
    time.advance(2000);
    EXPECT_FALSE(shown.contains("reconnect offered")) << "the program's own hang-up is no drop";
    EXPECT_TRUE(keeper->readyToConnect());

    status.clear();
    keeper->toggleConnection();
    ASSERT_TRUE(connected());
    EXPECT_EQ(logMessages().count("Connect requested by user"), 2);
    // A warning cancelled leaves the line up.
    time.advance(30100);
    ASSERT_TRUE(keeper->disconnectCountdown().running());
    keeper->cancelDisconnectWarning();
    time.advance(60000);
    EXPECT_NE(onlyConnection(), 0u);
}

TEST_F(LineKeeperTest, AFailedDialEndsTheSessionSoTheAlarmMayDialAgain) {
    dial(QStringLiteral("Demo Bad Password"));
    EXPECT_FALSE(keeper->mayDialAtAlarm()) << "a session is going on";
    ASSERT_TRUE(time.advanceUntil(
        [&] { return logMessages().contains("Connection Terminated by OBU"); }, 60000));
    EXPECT_EQ(status,
              "Dial failed: Access was denied because the user name or password is not valid.");
    EXPECT_FALSE(keeper->sessionActive());
    EXPECT_TRUE(keeper->readyToConnect());
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_TRUE(keeper->mayDialAtAlarm());
    keeper->toggleConnection();
    EXPECT_TRUE(keeper->sessionActive());
    EXPECT_TRUE(keeper->monitoringDial());
    EXPECT_EQ(logMessages().count("Connect requested by user"), 2);

    ASSERT_TRUE(time.advanceUntil(
        [&] { return logMessages().count("Connection Terminated by OBU") == 2; }, 60000));

    // No entry chosen: the user is asked to choose one, nothing is dialled.
    keeper->chooseEntry({}, {}, {});
    bool entryWanted = false;
    QObject::connect(keeper.get(), &LineKeeper::entryWanted, [&] { entryWanted = true; });
    keeper->toggleConnection();
    EXPECT_TRUE(entryWanted);
    EXPECT_EQ(dialogs.boxes().back().caption, "No Connection Set");
    EXPECT_FALSE(keeper->sessionActive());
}

}  // namespace
}  // namespace obu::test
