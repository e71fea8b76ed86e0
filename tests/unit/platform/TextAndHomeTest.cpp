#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/HomeFolder.h"
#include "platform/PrintableText.h"

using namespace obu;

TEST(PrintableText, ControlCharactersAreEscapedAndEverythingElseIsKept) {
    EXPECT_EQ(printableText(u"Demo ISP"), "Demo ISP");
    EXPECT_FALSE(needsEscaping(u"Caf\u00e9 \u00fcber \\x1b [1] <b>"));
    EXPECT_EQ(printableText(u"Caf\u00e9 \\x1b"), QString::fromUtf16(u"Caf\u00e9 \\x1b"));
    // A second line and a second column forged inside one name.
    EXPECT_EQ(printableText(u"evil\nDemo ISP\tphone book\r"), "evil\\nDemo ISP\\tphone book\\r");
    // ESC and the other C0 controls, DEL, and the C1 controls (CSI is U+009B).
    EXPECT_EQ(printableText(u"esc\x1b[31mred\x07\x7f"), "esc\\x1b[31mred\\x07\\x7f");
    EXPECT_EQ(printableText(QString(QChar(0x9B)) + "2J" + QChar(0x80) + QChar(0x9F)),
              "\\x9b2J\\x80\\x9f");
    EXPECT_EQ(printableText(QString(QChar(0))), "\\x00");
    // Marks that reorder a line on the screen, and Unicode's own line breaks.
    EXPECT_EQ(printableText(u"abc\u202Egnp.exe\u2028\u2066"), "abc\\u202egnp.exe\\u2028\\u2066");
    EXPECT_TRUE(needsEscaping(u"\u009b"));
}

TEST(HomeFolder, HomeIsTakenFromThePasswordDatabaseWhenUnset) {
    EXPECT_EQ(chooseHomeFolder("/home/ann", "/home/other"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("/home/ann/", nullptr), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("", "/home/ann"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("relative/home", "/home/ann"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("", nullptr), "");
    EXPECT_EQ(chooseHomeFolder("", ""), "");
    EXPECT_EQ(chooseHomeFolder("", "relative"), "");

    const QByteArray saved = qgetenv("HOME");
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_NE(me, nullptr);
    qunsetenv("HOME");
    EXPECT_EQ(homeFolder(), QString::fromLocal8Bit(me->pw_dir));
    EXPECT_EQ(settleHomeFolder(), "");
    EXPECT_EQ(qgetenv("HOME"), QByteArray(me->pw_dir));
    // A HOME that is set is the user's choice and stays.
    qputenv("HOME", "/somewhere/else");
    EXPECT_EQ(settleHomeFolder(), "");
    EXPECT_EQ(homeFolder(), "/somewhere/else");
    qputenv("HOME", saved);
}
