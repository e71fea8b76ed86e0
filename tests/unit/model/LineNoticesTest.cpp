// What the desktop is told of the kept line while the window is put away.
#include "model/LineNotices.h"
#include "platform/Notifications.h"
#include "tests/unit/model/LineKeeperBench.h"

namespace obu::test {
namespace {

class RecordingNotifications : public Notifications {
public:
    void notify(const QString& summary, const QString& body) override {
        told << summary + QStringLiteral(" | ") + body;
    }
    QStringList told;
};

class LineNoticesTest : public LineKeeperBench {
protected:
    void SetUp() override {
        LineKeeperBench::SetUp();
        notices = std::make_unique<LineNotices>(*keeper, desktop, [this] { return windowAway; });
    }
    RecordingNotifications desktop;
    bool windowAway = true;
    std::unique_ptr<LineNotices> notices;
};

TEST_F(LineNoticesTest, ADropItsReconnectAndTheWarningAreToldOnlyWhileTheWindowIsAway) {
    settings.setNumber(Setting::DisconnectMinutes, 1);
    dial(QStringLiteral("Demo ISP"));
    ASSERT_TRUE(connected());
    EXPECT_TRUE(desktop.told.isEmpty()) << "a line that comes up is no news";

    time.advance(30100);
    ASSERT_EQ(desktop.told.size(), 1);
    EXPECT_EQ(desktop.told.last(), "Demo ISP | OBU will disconnect you in 30 seconds.");
    keeper->cancelDisconnectWarning();

    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    ASSERT_TRUE(time.advanceUntil([&] { return desktop.told.size() == 2; }, 5000));
    EXPECT_TRUE(
        desktop.told.last().startsWith("Reconnect | OBU has detected that your connection "
                                       "was cancelled by a source other that itself."));
    EXPECT_TRUE(desktop.told.last().endsWith("reconnect you in 10 seconds."));
    // The drop brings the window forward; what comes of it is still told.
    windowAway = false;
    ASSERT_TRUE(time.advanceUntil([&] { return desktop.told.size() == 3; }, 15000));
    EXPECT_EQ(desktop.told.last(), "Reconnect | Attempting to Reconnect.");
    ASSERT_TRUE(connected());

    // With the window in sight, the windows say it all.
    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    ASSERT_TRUE(time.advanceUntil([&] { return shown.count("reconnect offered") == 2; }, 5000));
    time.advance(11000);
    EXPECT_EQ(desktop.told.size(), 3);
}

TEST_F(LineNoticesTest, AFailedDialIsToldWithTheStatusLinesReasonAndAFailedReconnectAfterADrop) {
    dial(QStringLiteral("Demo Bad Password"));
    ASSERT_TRUE(time.advanceUntil([&] { return !desktop.told.isEmpty(); }, 60000));
    EXPECT_EQ(desktop.told, QStringList({"Demo Bad Password | Dial failed: Access was denied "
                                         "because the user name or password is not valid."}));

    // A drop missed, its reconnect failing with the window back in sight.
    desktop.told.clear();
    const QByteArray line = "[Line A]\nDevice=Modem A\nDialDelay=200\nAuthDelay=200\n";
    folder.write(QStringLiteral("phonebook.pbk"), line);
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    folder.write(QStringLiteral("phonebook.pbk"), line + "Fail=no-answer\n");
    ASSERT_EQ(lines.dropLine(onlyConnection()), 0u);
    ASSERT_TRUE(time.advanceUntil([&] { return desktop.told.size() == 1; }, 5000));
    windowAway = false;
    ASSERT_TRUE(time.advanceUntil([&] { return desktop.told.size() == 3; }, 60000));
    EXPECT_EQ(desktop.told[1], "Reconnect | Attempting to Reconnect.");
    EXPECT_EQ(desktop.told.last(),
              "Line A | Reconnect failed: The remote computer did not answer.");

    // The session over, a failure in sight is the window's to show.
    keeper->cancelReconnect();
    keeper->toggleConnection();
    time.advance(60000);
    EXPECT_EQ(desktop.told.size(), 3);
}

}  // namespace
}  // namespace obu::test
