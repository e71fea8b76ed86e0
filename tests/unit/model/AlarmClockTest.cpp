#include <gtest/gtest.h>

#include <QSignalSpy>

#include "model/AlarmClock.h"
#include "model/AlarmRule.h"
#include "platform/Dispatcher.h"
#include "platform/Errors.h"
#include "platform/Formats.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/VirtualTime.h"

using namespace obu;

namespace {

QDateTime june(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2001, 6, day), QTime(hour, minute, second));
}

// 21:05:12 on 6/14/2001, United States formats.
struct AlarmClockTest : ::testing::Test {
    test::VirtualTime time;
    Formats formats;
    AlarmClock alarm{time, time, formats};
    QSignalSpy due{&alarm, &AlarmClock::due};
    QSignalSpy text{&alarm, &AlarmClock::textChanged};
    // When each due() came.
    std::vector<QDateTime> dueAt;
    AlarmClockTest() {
        QObject::connect(&alarm, &AlarmClock::due, [this] { dueAt.push_back(time.now()); });
    }
};

}  // namespace

TEST_F(AlarmClockTest, ADailyAlarmSleepsUntilItsMinuteAndIsDueOnceEveryDay) {
    alarm.setDaily(true);
    alarm.setAt(QDate(2001, 1, 1), QTime(21, 6, 41));
    EXPECT_EQ(alarm.time(), "9:06:00  PM") << "the seconds become 00, the designator keeps a blank";
    EXPECT_EQ(alarm.text(), "Daily at 9:06:00  PM");
    const auto woken = time.wakeUps();
    time.advanceTo(june(16, 21, 5));
    EXPECT_EQ(dueAt, (std::vector<QDateTime>{june(14, 21, 6), june(15, 21, 6)}))
        << "at the start of its minute, once a day";
    EXPECT_EQ(time.wakeUps() - woken, 2u) << "nothing wakes the program in between";
    EXPECT_EQ(due.first().first().value<AlarmClock::Rule>(), AlarmClock::Rule::Daily);
    EXPECT_TRUE(alarm.isArmed());
    EXPECT_EQ(alarm.time(), "9:06:00  PM");
}

// The receiver that cannot dial yet (the line is held) asks again; once it
// has taken the alarm, the minute is over for it.
TEST_F(AlarmClockTest, ADailyAlarmNotTakenComesAgainEachSecondOfItsMinuteOnly) {
    alarm.setDaily(true);
    alarm.setAt(QDate(), QTime(21, 6));
    int refusals = 3;
    QObject::connect(&alarm, &AlarmClock::due, [&] {
        if (refusals-- > 0) alarm.offerAgainSoon();
    });
    time.advanceTo(june(14, 21, 8));
    EXPECT_EQ(dueAt, (std::vector<QDateTime>{june(14, 21, 6, 0), june(14, 21, 6, 1),
                                             june(14, 21, 6, 2), june(14, 21, 6, 3)}));
    dueAt.clear();
    refusals = 1000;
    time.advanceTo(june(15, 21, 8));
    ASSERT_EQ(dueAt.size(), 60u) << "never taken: every second of the minute, and no more";
    EXPECT_EQ(dueAt.front(), june(15, 21, 6, 0));
    EXPECT_EQ(dueAt.back(), june(15, 21, 6, 59));
}

// What the alarm sets off may end in the default error box (a log that
// cannot be written); the alarm stays set for the next day all the same.
TEST_F(AlarmClockTest, AnErrorInWhatTheAlarmSetsOffLeavesItArmed) {
    test::ScriptedDialogs dialogs;
    Dispatcher dispatcher(dialogs, QStringLiteral("OBU v1.3"));
    time.setDispatcher(&dispatcher);
    QObject::connect(&alarm, &AlarmClock::due, [] { throw IoError(5); });
    alarm.setDaily(true);
    alarm.setAt(QDate(), QTime(21, 6));
    time.advanceTo(june(15, 21, 7));
    EXPECT_EQ(dueAt, (std::vector<QDateTime>{june(14, 21, 6), june(15, 21, 6)}));
    EXPECT_EQ(dialogs.boxes().size(), 2u);
}

TEST_F(AlarmClockTest, AOneTimeAlarmIsDueOnceThenClearsItself) {
    alarm.load(QStringLiteral("6/14/2001 9:07:00  PM"), false);
    EXPECT_FALSE(alarm.isArmed()) << "a stored alarm waits for the start to arm it";
    alarm.armStored();
    EXPECT_EQ(text.takeFirst().first().toString(), "6/14/2001 9:07:00  PM");
    time.advance(300000);
    EXPECT_EQ(dueAt, std::vector<QDateTime>{june(14, 21, 7)});
    EXPECT_EQ(due.first().first().value<AlarmClock::Rule>(), AlarmClock::Rule::Once);
    EXPECT_FALSE(alarm.isArmed());
    EXPECT_TRUE(alarm.time().isEmpty());
    EXPECT_EQ(text.takeFirst().first().toString(), "(not set)");
}

// Making Daily only chooses the rule of the next alarm set: the alarm
// already waited for keeps its own until it is set again.
TEST_F(AlarmClockTest, TheDailySwitchLeavesTheArmedAlarmAsItIs) {
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
    EXPECT_EQ(due24.count(), 1);
}

// The wait is for a moment of the wall clock: when the clock is set, the
// alarm works its moment out again, and a minute it was due in counts once.
TEST_F(AlarmClockTest, TheAlarmFollowsTheWallClockWhenItIsSet) {
    alarm.setDaily(true);
    alarm.setAt(QDate(), QTime(21, 30));
    time.setWallClock(june(14, 21, 29, 50));
    time.advance(10000);
    EXPECT_EQ(dueAt, std::vector<QDateTime>{june(14, 21, 30)}) << "not 25 minutes later";
    time.setWallClock(june(14, 21, 29, 55));
    time.advance(10000);
    EXPECT_EQ(dueAt.size(), 1u) << "the clock set back over the minute: not due in it twice";
    time.setWallClock(june(15, 21, 30, 20));
    time.processMessages();
    EXPECT_EQ(dueAt.back(), june(15, 21, 30, 20)) << "set into the minute of another day: at once";

    // A one-time moment already past waits for the clock alone.
    alarm.clear();
    alarm.setAt(QDate(2001, 6, 15), QTime(21, 0));
    const auto woken = time.wakeUps();
    time.advance(3600000);
    EXPECT_EQ(time.wakeUps(), woken);
    time.setWallClock(june(15, 20, 59, 58));
    time.advance(2000);
    EXPECT_EQ(dueAt.back(), june(15, 21, 0)) << "the clock set back before it brings it again";
    EXPECT_FALSE(alarm.isArmed());
}

// The next minute whose text is the alarm's, found as the old comparison of
// texts would have found it, whatever the formats.
TEST(AlarmRule, TheNextMatchingMinuteIsFoundUnderAnyFormat) {
    const Formats us;
    const QDateTime evening = june(14, 21, 5, 12);
    EXPECT_EQ(nextAlarmMoment(us, "9:05:00  PM", true, evening), evening)
        << "inside the minute: now";
    EXPECT_EQ(nextAlarmMoment(us, "9:04:00  PM", true, evening), june(15, 21, 4));
    EXPECT_EQ(nextAlarmMoment(us, "6/20/2001 7:30:00  AM", false, evening), june(20, 7, 30));
    EXPECT_EQ(nextAlarmMoment(us, "6/1/2001 7:30:00  AM", false, evening), std::nullopt)
        << "a moment past";
    EXPECT_EQ(nextAlarmMoment(us, "at teatime", false, evening), std::nullopt);
    EXPECT_EQ(nextAlarmMoment(us, "at teatime", true, evening), std::nullopt);

    // Twelve hours without a designator: a daily text matches twice a day.
    const Formats bare(QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss"));
    EXPECT_EQ(nextAlarmMoment(bare, "9:07:00", true, june(14, 10, 0)), june(14, 21, 7));
    EXPECT_EQ(nextAlarmMoment(bare, "9:07:00", true, june(14, 21, 8)), june(15, 9, 7));

    // A two-digit year names the date of every century: the next one counts.
    const Formats shortYear(QStringLiteral("M/d/yy"), QStringLiteral("h:mm:ss tt"));
    EXPECT_EQ(nextAlarmMoment(shortYear, "1/2/99 9:00:00  AM", false, evening),
              QDateTime(QDate(2099, 1, 2), QTime(9, 0)));
}
