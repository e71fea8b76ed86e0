#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTimeZone>
#include <ctime>

#include "model/History.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

HistorySession session(const QString& entry, QDateTime start, QDateTime end) {
    HistorySession s;
    s.entry = entry;
    s.start = std::move(start);
    s.end = std::move(end);
    s.ending = historyEnding(CallEnd::HungUpHere);
    return s;
}

struct HistoryTest : ::testing::Test {
    test::TempFolder folder;
    History history{folder.file(History::kFileName)};
};

}  // namespace

TEST_F(HistoryTest, SessionsComeBackAsAppendedWithNamesAndCountsIntact) {
    EXPECT_TRUE(history.read().empty());
    HistorySession odd = session("Tab\there\\and\nline", at(2026, 3, 1, 10), at(2026, 3, 1, 11));
    odd.bytesReceived = 1234;
    odd.bytesSent = 0;
    odd.ending = historyEnding(CallEnd::Dropped);
    ASSERT_TRUE(history.append(odd));
    ASSERT_TRUE(history.append(session("Plain", at(2026, 3, 2, 9), at(2026, 3, 2, 9, 30))));

    const std::vector<HistorySession> got = history.read();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].entry, odd.entry);
    EXPECT_EQ(got[0].start, odd.start);
    EXPECT_EQ(got[0].end, odd.end);
    EXPECT_EQ(got[0].ending, QStringLiteral("dropped"));
    EXPECT_EQ(got[0].bytesReceived, 1234);
    EXPECT_EQ(got[0].bytesSent, 0);
    EXPECT_EQ(got[1].entry, QStringLiteral("Plain"));
    EXPECT_FALSE(got[1].bytesReceived.has_value()) << "unknown counts stay unknown, not zero";
    EXPECT_EQ(got[1].seconds(), 1800);

    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(history.path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.read(History::kFileName).count('\n'), 3) << "a header and one line each";
}

TEST_F(HistoryTest, DamagedLinesAreSkippedAndCountedAndDroppedAtTheNextAppend) {
    folder.write(History::kFileName,
                 "# entry\tstart\tend\tended\tbytes received\tbytes sent\n"
                 "Good\t2026-01-01T10:00:00Z\t2026-01-01T11:00:00Z\thung up\t\t\n"
                 "Bad\tnot a time\t2026-01-01T11:00:00Z\thung up\t\t\n"
                 "Backwards\t2026-01-02T11:00:00Z\t2026-01-02T10:00:00Z\thung up\t\t\n"
                 "Neg\t2026-01-03T10:00:00Z\t2026-01-03T11:00:00Z\thung up\t-5\t\n"
                 "Half a li");
    EXPECT_EQ(history.read().size(), 1u);
    EXPECT_EQ(history.unreadableLines(), 4);
    ASSERT_TRUE(history.append(session("Next", at(2026, 1, 4, 10), at(2026, 1, 4, 11))));
    const std::vector<HistorySession> got = history.read();
    EXPECT_EQ(history.unreadableLines(), 0);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].entry, QStringLiteral("Next")) << "never glued onto a half line";

    folder.write(History::kFileName, "Cut\t2026-01-01T10:00:00Z\t2026-01-01T11:00:00Z\thung up");
    ASSERT_TRUE(history.append(session("After", at(2026, 1, 4, 10), at(2026, 1, 4, 11))));
    EXPECT_EQ(history.read().size(), 2u);
}

TEST_F(HistoryTest, KeepsAYearAndAtMostTenThousandSessions) {
    ASSERT_TRUE(history.append(session("Old", at(2025, 1, 1, 10), at(2025, 1, 1, 11))));
    ASSERT_TRUE(history.append(session("Recent", at(2025, 6, 1, 10), at(2025, 6, 1, 11))));
    ASSERT_TRUE(history.append(session("New", at(2026, 3, 1, 10), at(2026, 3, 1, 11))));
    std::vector<HistorySession> got = history.read();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].entry, QStringLiteral("Recent"));

    QByteArray full = "# header\n";
    for (int i = 0; i < History::kMaxSessions; ++i)
        full += "E" + QByteArray::number(i) +
                "\t2026-03-02T10:00:00Z\t2026-03-02T10:01:00Z\thung up\t\t\n";
    folder.write(History::kFileName, full);
    ASSERT_TRUE(history.append(session("Last", at(2026, 3, 3, 10), at(2026, 3, 3, 11))));
    got = history.read();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(History::kMaxSessions));
    EXPECT_EQ(got.front().entry, QStringLiteral("E1")) << "the oldest goes first";
    EXPECT_EQ(got.back().entry, QStringLiteral("Last"));
}

TEST_F(HistoryTest, AFileThatCannotBeWrittenIsSaid) {
    History nowhere(folder.file("missing/folder/history.tsv"));
    EXPECT_FALSE(nowhere.append(session("X", at(2026, 1, 1, 1), at(2026, 1, 1, 2))));
    EXPECT_TRUE(nowhere.problem().contains(QStringLiteral("missing/folder")));
}

TEST(HistoryTotalsTest, SessionsAcrossMidnightAndAMonthsEndAreSplit) {
    const std::vector<HistorySession> sessions{
        session("A", at(2026, 1, 30, 10), at(2026, 1, 30, 10, 30)),    // 30 min
        session("A", at(2026, 1, 30, 23), at(2026, 1, 31, 1)),         // 1 h + 1 h
        session("B", at(2026, 1, 31, 23, 30), at(2026, 2, 1, 0, 15)),  // 30 min + 15 min
        session("B", at(2026, 2, 1, 12), at(2026, 2, 1, 12)),          // nothing
    };
    const HistoryTotals totals = historyTotals(sessions);
    EXPECT_EQ(totals.days.at(QDate(2026, 1, 30)), 90 * 60);
    EXPECT_EQ(totals.days.at(QDate(2026, 1, 31)), 90 * 60);
    EXPECT_EQ(totals.days.at(QDate(2026, 2, 1)), 15 * 60);
    EXPECT_EQ(totals.days.size(), 3u);
    EXPECT_EQ(totals.months.at(QDate(2026, 1, 1)), 180 * 60);
    EXPECT_EQ(totals.months.at(QDate(2026, 2, 1)), 15 * 60);
    EXPECT_EQ(totals.months.size(), 2u);

    // A session of several days counts whole days in between.
    const HistoryTotals m_long =
        historyTotals({session("C", at(2026, 2, 27, 12), at(2026, 3, 2, 6))});
    EXPECT_EQ(m_long.days.at(QDate(2026, 2, 28)), 24 * 3600);
    EXPECT_EQ(m_long.months.at(QDate(2026, 2, 1)), 36 * 3600);
    EXPECT_EQ(m_long.months.at(QDate(2026, 3, 1)), 30 * 3600);
}

namespace {

// Runs the body with the process's local time zone set to zone.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
        : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~LocalZone() {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

}  // namespace

TEST_F(HistoryTest, TimesMeanTheSameMomentsAfterAMoveToAnotherZone) {
    {
        LocalZone zone("Europe/Berlin");
        ASSERT_TRUE(history.append(session("Here", at(2026, 7, 1, 23, 30), at(2026, 7, 2, 0, 30))));
    }
    LocalZone zone("America/New_York");
    const std::vector<HistorySession> got = history.read();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].start.toUTC(), QDateTime(QDate(2026, 7, 1), QTime(21, 30), Qt::UTC));
    EXPECT_EQ(got[0].seconds(), 3600);
    // Counted by the days of where the user is now: all of it on July 1st.
    EXPECT_EQ(historyTotals(got).days.at(QDate(2026, 7, 1)), 3600);
}

TEST(HistoryTotalsTest, DaysOfADaylightSavingChangeCountTheirRealLength) {
    LocalZone zone("Europe/Berlin");
    // The clocks go forward at 2:00 on March 29th, 2026 and back at 3:00 on
    // October 25th: a whole day online is 23 and 25 hours.
    const HistoryTotals spring =
        historyTotals({session("A", at(2026, 3, 28, 12), at(2026, 3, 30, 12))});
    EXPECT_EQ(spring.days.at(QDate(2026, 3, 29)), 23 * 3600);
    EXPECT_EQ(spring.days.at(QDate(2026, 3, 28)), 12 * 3600);
    const HistoryTotals autumn =
        historyTotals({session("A", at(2026, 10, 25, 0), at(2026, 10, 26, 0))});
    EXPECT_EQ(autumn.days.at(QDate(2026, 10, 25)), 25 * 3600);
    EXPECT_EQ(autumn.months.at(QDate(2026, 10, 1)), 25 * 3600);
}
