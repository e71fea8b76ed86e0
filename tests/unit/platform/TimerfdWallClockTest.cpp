#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>

#include "platform/QtEventLoop.h"
#include "platform/TimerfdWallClock.h"
#include "tests/support/RealLoop.h"
#include "tests/support/TempFolder.h"

using namespace obu;
using namespace obu::test;

namespace {

// The real clock on Qt's loop, with a zone of its own: a link "localtime" in
// a temporary folder pointing to a zone file beside it.
struct WallClockTest : ::testing::Test {
    WallClockTest() { application(); }
    TempFolder folder;
    QtEventLoop loop;
    QString zoneLink = folder.file(QStringLiteral("localtime"));

    void pointZoneTo(const QString& name) {
        folder.write(name, "TZif");
        // Replaced whole, as a zone is changed: a new link renamed over the old.
        const QString next = folder.file(QStringLiteral("localtime.new"));
        ASSERT_TRUE(QFile::link(folder.file(name), next));
        ASSERT_EQ(std::rename(QFile::encodeName(next).constData(),
                              QFile::encodeName(zoneLink).constData()),
                  0);
    }
};

}  // namespace

TEST_F(WallClockTest, AWaitEndsAtItsMomentNeverBeforeAndACancelledOneNever) {
    pointZoneTo(QStringLiteral("zoneA"));
    TimerfdWallClock clock(loop, {zoneLink});
    const QDateTime moment = QDateTime::currentDateTime().addMSecs(300);
    QDateTime wokeAt;
    bool cancelledRan = false, pastRan = false;
    clock.waitUntil(moment, [&] { wokeAt = QDateTime::currentDateTime(); });
    const auto cancelled = clock.waitUntil(moment.addMSecs(-200), [&] { cancelledRan = true; });
    clock.waitUntil(QDateTime::currentDateTime().addDays(-1), [&] { pastRan = true; });
    clock.cancel(cancelled);
    ASSERT_TRUE(pumpUntil([&] { return pastRan; })) << "a moment already past is due at once";
    EXPECT_FALSE(wokeAt.isValid());
    ASSERT_TRUE(pumpUntil([&] { return wokeAt.isValid(); }));
    EXPECT_GE(wokeAt, moment);
    EXPECT_FALSE(cancelledRan);
}

TEST_F(WallClockTest, ANewZoneOrNewZoneDataEndsEveryWaitEarlyAndNothingElseDoes) {
    pointZoneTo(QStringLiteral("zoneA"));
    TimerfdWallClock clock(loop, {zoneLink});
    int woken = 0;
    clock.waitUntil(QDateTime(), [&] { ++woken; });
    clock.waitUntil(QDateTime::currentDateTime().addSecs(3600), [&] { ++woken; });
    folder.write(QStringLiteral("unrelated"), "x");
    pumpFor(200);
    EXPECT_EQ(woken, 0) << "another file beside the zone's";

    pointZoneTo(QStringLiteral("zoneB"));
    ASSERT_TRUE(pumpUntil([&] { return woken == 2; }));
    // The link now points to zoneB, and that file is watched in its turn.
    clock.waitUntil(QDateTime(), [&] { ++woken; });
    folder.write(QStringLiteral("zoneA"), "TZif, the old zone updated");
    pumpFor(200);
    EXPECT_EQ(woken, 2) << "the zone no longer in use";
    folder.write(QStringLiteral("zoneB"), "TZif, updated");
    EXPECT_TRUE(pumpUntil([&] { return woken == 3; }));
}

TEST(WallClockZone, TheZoneIsWatchedWhereTheCLibraryRereadsIt) {
    const QByteArray tz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qunsetenv("TZ");
    EXPECT_EQ(TimerfdWallClock::zoneFilesOfEnvironment(), QStringList{"/etc/localtime"});
    qputenv("TZ", "Europe/Berlin");
    EXPECT_TRUE(TimerfdWallClock::zoneFilesOfEnvironment().isEmpty())
        << "a zone named by TZ is read once for the whole run";
    if (hadTz)
        qputenv("TZ", tz);
    else
        qunsetenv("TZ");
}
