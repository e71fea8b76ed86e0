#include <gtest/gtest.h>

#include <QSignalSpy>

#include "model/AlarmClock.h"
#include "platform/Formats.h"
#include "tests/support/VirtualTime.h"

using namespace obu;

namespace {

// 21:05:12 on 6/14/2001, United States formats.
struct AlarmClockTest : ::testing::Test {
    test::VirtualTime time;
    Formats formats;
    AlarmClock alarm{time, time, formats};
    QSignalSpy due{&alarm, &AlarmClock::due};
    QSignalSpy text{&alarm, &AlarmClock::textChanged};
};

}  // namespace

TEST_F(AlarmClockTest, ADailyAlarmIsDueThroughItsMinuteEveryDayAndStaysSet) {
    alarm.setDaily(true);
    alarm.setAt(QDate(2001, 1, 1), QTime(21, 6, 41));
    EXPECT_EQ(alarm.time(), "9:06:00  PM") << "the seconds become 00, the designator keeps a blank";
    EXPECT_EQ(alarm.text(), "Daily at 9:06:00  PM");
    time.advanceTo(QDateTime(QDate(2001, 6, 14), QTime(21, 5, 59)));
    EXPECT_EQ(due.count(), 0);
    time.advanceTo(QDateTime(QDate(2001, 6, 14), QTime(21, 7, 0)));
    EXPECT_EQ(due.count(), 60) << "each second of the minute, for its receiver to decide";
    EXPECT_EQ(due.first().first().value<AlarmClock::Rule>(), AlarmClock::Rule::Daily);
    time.advanceTo(QDateTime(QDate(2001, 6, 15), QTime(21, 7, 0)));
    EXPECT_EQ(due.count(), 120) << "and the next day again";
    EXPECT_TRUE(alarm.isArmed());
    EXPECT_EQ(alarm.time(), "9:06:00  PM");
}

TEST_F(AlarmClockTest, AOneTimeAlarmIsDueOnceThenClearsItself) {
    alarm.load(QStringLiteral("6/14/2001 9:07:00  PM"), false);
    EXPECT_FALSE(alarm.isArmed()) << "a stored alarm waits for the start to arm it";
    alarm.armStored();
    EXPECT_EQ(text.takeFirst().first().toString(), "6/14/2001 9:07:00  PM");
    time.advance(300000);
    ASSERT_EQ(due.count(), 1);
    EXPECT_EQ(due.first().first().value<AlarmClock::Rule>(), AlarmClock::Rule::Once);
    EXPECT_FALSE(alarm.isArmed());
    EXPECT_TRUE(alarm.time().isEmpty());
    EXPECT_EQ(text.takeFirst().first().toString(), "(not set)");
}

// Making Daily only chooses the rule of the next alarm set: the alarm
// already checked keeps its own until it is set again.
TEST_F(AlarmClockTest, TheDailySwitchLeavesTheCheckedAlarmAsItIs) {
    alarm.setAt(QDate(2001, 6, 14), QTime(21, 6, 0));
    alarm.setDaily(true);
    EXPECT_EQ(alarm.armedRule(), AlarmClock::Rule::Once);
    time.advance(120000);
    EXPECT_EQ(due.count(), 1);
    EXPECT_TRUE(alarm.isDaily());
}

TEST_F(AlarmClockTest, UnderA24HourFormatTheAlarmDropsOnlyItsSeconds) {
    Formats european(QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss"));
    AlarmClock alarm24(time, time, european);
    QSignalSpy due24(&alarm24, &AlarmClock::due);
    alarm24.setAt(QDate(2001, 6, 14), QTime(21, 6, 30));
    EXPECT_EQ(alarm24.time(), "14.06.2001 21:06:00");
    alarm24.clear();
    alarm24.setDaily(true);
    alarm24.setAt(QDate(), QTime(21, 6, 30));
    EXPECT_EQ(alarm24.time(), "21:06:00");
    time.advance(60000);
    EXPECT_GT(due24.count(), 0);
}
