#include <gtest/gtest.h>

#include "model/PasswordCodec.h"

using obu::decodePassword;
using obu::encodePassword;

TEST(PasswordCodec, ShiftsEachCodeBySeven) {
    EXPECT_EQ(encodePassword("abc"), "hij");
    EXPECT_EQ(decodePassword("hij"), "abc");
    EXPECT_EQ(encodePassword(""), "");
    EXPECT_EQ(decodePassword(""), "");
}

TEST(PasswordCodec, HighCodesWrapIntoControlCodesAnd249HasAStandIn) {
    // 250..255 become the control codes 1..6 and are stored as they are.
    for (int c = 250; c <= 255; ++c) {
        const QString pw = QString(QChar(c));
        EXPECT_EQ(encodePassword(pw), QString(QChar(c + 7 - 256)));
        EXPECT_EQ(decodePassword(encodePassword(pw)), pw);
    }
    // 249, 3 and 6 would become 0, LF and CR, which a line of text cannot hold.
    const QString pw = QStringLiteral("a") + QChar(249) + QChar(3) + QChar(6) + QStringLiteral("b");
    const QString stored = encodePassword(pw);
    EXPECT_EQ(stored,
              QStringLiteral("h\a@\aJ\aMi").replace(QStringLiteral("\\a"), QString(QChar(7))));
    EXPECT_EQ(decodePassword(stored), pw);
    // Stored passwords never hold byte 7 alone, so files in use read as they always did.
    EXPECT_EQ(decodePassword(QString(QChar(7))), QString());
}

TEST(PasswordCodec, PasswordsAreCutAt255Characters) {
    const QString pw(300, QLatin1Char('x'));
    EXPECT_EQ(encodePassword(pw).size(), 255);
    EXPECT_EQ(decodePassword(QString(300, QLatin1Char('x'))).size(), 255);
}
