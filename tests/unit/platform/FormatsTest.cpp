#include <gtest/gtest.h>

#include "platform/Formats.h"

using obu::Formats;

TEST(Formats, UnitedStatesDefaults) {
    Formats f;
    const QDateTime evening(QDate(2001, 6, 14), QTime(21, 5, 12));
    EXPECT_EQ(f.dateTimeText(evening), "6/14/2001 9:05:12 PM");
    EXPECT_EQ(f.timeText(QTime(0, 7, 9)), "12:07:09 AM");
    EXPECT_EQ(f.timeText(QTime(12, 0, 0)), "12:00:00 PM");
    EXPECT_EQ(f.dateText(QDate(1999, 12, 31)), "12/31/1999");
    EXPECT_EQ(f.dateTimeText(QDateTime(QDate(2001, 6, 14), QTime(0, 0))), "6/14/2001");
    EXPECT_EQ(f.dateAndTimeText(QDateTime(QDate(2001, 6, 14), QTime(0, 0))),
              "6/14/2001 12:00:00 AM");
}

TEST(Formats, OtherPictures) {
    Formats f(QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(f.dateTimeText(QDateTime(QDate(2001, 6, 4), QTime(9, 5, 2))), "04.06.2001 09:05:02");
    EXPECT_EQ(Formats::format("dddd d MMMM yy 'at' h t", QDate(2001, 6, 14), QTime(21, 5)),
              "Thursday 14 June 01 at 9 P");
}

TEST(Formats, TextsReadBackIncludingTheAlarmsDoubleBlank) {
    Formats f;
    EXPECT_EQ(f.parseTime("9:05:00  PM"), QTime(21, 5, 0));
    EXPECT_EQ(f.parseTime("12:30:00 AM"), QTime(0, 30, 0));
    EXPECT_EQ(f.parseDateTime("6/14/2001 9:05:00  PM"),
              QDateTime(QDate(2001, 6, 14), QTime(21, 5)));
    EXPECT_EQ(f.parseDate("2/29/2001"), std::nullopt);
    EXPECT_EQ(f.parseTime("13:05:00 PM"), std::nullopt);
    EXPECT_EQ(f.parseTime("soon"), std::nullopt);
    EXPECT_EQ(f.parseDateTime("6/14/2001 9:05:00 PM trailing"), std::nullopt);
    Formats iso(QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(iso.parseDateTime("2001-06-14 21:05:00"),
              QDateTime(QDate(2001, 6, 14), QTime(21, 5)));
}
