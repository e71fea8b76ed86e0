// The line keeper's rules without windows: the real phone-book service with
// its demo entries and the modem inside the process, on virtual time.
#include "tests/unit/model/LineKeeperBench.h"

namespace obu::test {
namespace {

using LineKeeperTest = LineKeeperBench;

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
    ASSERT_NE(keeper->keptCall(), nullptr);
    EXPECT_EQ(keeper->keptCall()->id(), onlyConnection());
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
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up);
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
    EXPECT_EQ(onlyConnection(), keeper->keptCall()->id()) << "the warning only warns";
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
    EXPECT_EQ(keeper->state(), LineKeeper::State::Dialling);
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
