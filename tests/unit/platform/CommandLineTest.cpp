// Splitting Windows command lines as Windows programs do, and quoting that
// survives the round trip.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include "platform/CommandLine.h"

using namespace obu;

namespace {

QStringList args(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list) out.append(QString::fromUtf8(s));
    return out;
}

}  // namespace

TEST(CommandLine, ProgramIsQuotedPathOrFirstWord) {
    EXPECT_EQ(CommandLine::split(R"("C:\Program Files\browser.exe" -nohome "%1")"),
              args({R"(C:\Program Files\browser.exe)", "-nohome", "%1"}));
    EXPECT_EQ(CommandLine::split(R"(C:\Program Files\browser.exe -x)"),
              args({R"(C:\Program)", R"(Files\browser.exe)", "-x"}));
    // Backslashes and quotes mean nothing inside the program's name.
    EXPECT_EQ(CommandLine::split(R"("C:\dir\\"rest)"), args({R"(C:\dir\\)", "rest"}));
    EXPECT_EQ(CommandLine::split(R"(a\"b c)"), args({R"(a\"b)", "c"}));
    // An unclosed quote takes the rest as the program.
    EXPECT_EQ(CommandLine::split(R"("/opt/my prog)"), args({"/opt/my prog"}));
    EXPECT_EQ(CommandLine::split("  \t /usr/bin/x\t y  "), args({"/usr/bin/x", "y"}));
    EXPECT_TRUE(CommandLine::split("   ").isEmpty());
    EXPECT_EQ(CommandLine::split(R"("" x)"), args({"", "x"}));
}

TEST(CommandLine, ArgumentsFollowTheBackslashAndQuoteRules) {
    // The classic table of CommandLineToArgvW.
    EXPECT_EQ(CommandLine::splitArguments(R"("a b c" d e)"), args({"a b c", "d", "e"}));
    EXPECT_EQ(CommandLine::splitArguments(R"("ab\"c" "\\" d)"), args({R"(ab"c)", R"(\)", "d"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(a\\\b d"e f"g h)"), args({R"(a\\\b)", "de fg", "h"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(a\\\"b c d)"), args({R"(a\"b)", "c", "d"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(a\\\\"b c" d e)"), args({R"(a\\b c)", "d", "e"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(C:\dir\ "C:\dir with blank\\")"),
              args({R"(C:\dir\)", R"(C:\dir with blank\)"}));
}

TEST(CommandLine, RunsOfQuotesAreCounted) {
    // Inside quotes, "" is a literal quote that ends the quoted part.
    EXPECT_EQ(CommandLine::splitArguments(R"("a""b c")"), args({R"(a"b)", "c"}));
    // A third quote opens a quoted part again.
    EXPECT_EQ(CommandLine::splitArguments(R"("a""" b)"), args({R"(a" b)"}));
    // Outside quotes, """ is one literal quote; "" is an empty argument.
    EXPECT_EQ(CommandLine::splitArguments(R"(""" x)"), args({"\"", "x"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(x "" y)"), args({"x", "", "y"}));
    EXPECT_EQ(CommandLine::splitArguments(R"(-nohome "")"), args({"-nohome", ""}));
    // An unclosed quote runs to the end, blanks included.
    EXPECT_EQ(CommandLine::splitArguments(R"(a "b c )"), args({"a", "b c "}));
}

TEST(CommandLine, QuotingRoundTripsEveryArgument) {
    const QStringList hard =
        args({"", "plain", "two words", "tab\there", R"(quote"inside)", R"(")", R"(\)", R"(ends\)",
              R"(ends with blank\ \)", R"(back\"quote)", R"(\\\"\\)", R"(C:\Program Files\)",
              "$(rm -rf ~); `id` && echo | cat > x", "héllo wörld ✓"});
    for (const QString& a : hard) {
        EXPECT_EQ(CommandLine::splitArguments(CommandLine::quoteArgument(a)), QStringList{a})
            << a.toStdString();
    }
    EXPECT_EQ(CommandLine::splitArguments(CommandLine::joinArguments(hard)), hard);
    EXPECT_EQ(CommandLine::quoteArgument("plain"), "plain");

    const QString line =
        CommandLine::quoteProgram("/opt/my browser/run") + u' ' + CommandLine::joinArguments(hard);
    EXPECT_EQ(CommandLine::split(line), QStringList{"/opt/my browser/run"} + hard);
    EXPECT_EQ(CommandLine::quoteProgram("/usr/bin/x"), "/usr/bin/x");
    EXPECT_EQ(CommandLine::quoteProgram(""), "\"\"");
    EXPECT_EQ(CommandLine::quoteProgram(R"(a"b)"), "");
}
