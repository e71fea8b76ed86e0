#include <gtest/gtest.h>

#include "model/PasswordCodec.h"
#include "model/SettingsFile.h"
#include "platform/Errors.h"
#include "platform/IniFileProfile.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

struct SettingsFileTest : ::testing::Test {
    test::TempFolder folder;
    IniFileProfile profile;
    SettingsFile ini{profile, folder.file("obu.ini")};
};

}  // namespace

TEST_F(SettingsFileTest, MissingFileAndKeysGiveTheDefaults) {
    EXPECT_EQ(ini.readString("Connection", "Name", ""), "");
    EXPECT_EQ(ini.readString("Connection", "Name", "dflt"), "dflt");
    EXPECT_EQ(ini.readInteger("Position", "x", 5), 5);
    EXPECT_TRUE(ini.readBool("Options", "Sound", true));
    EXPECT_FALSE(ini.readBool("Options", "Minimize", false));
    EXPECT_FALSE(folder.exists("obu.ini")) << "reading must never create the file";
}

TEST_F(SettingsFileTest, IntegersFollowTheHexadecimalRuleAndFallBackOnGarbage) {
    folder.write(
        "obu.ini",
        "[N]\r\nhex=0x1F\r\nHEX=0X10\r\nshort=0x\r\nneg=-42\r\nword=abc\r\ntail=12abc\r\n"
        "big=2147483648\r\nmax=2147483647\r\nmin=-2147483648\r\ndollar=$1F\r\nwrap=0xFFFFFFFF\r\n"
        "empty=\r\nplus=+7\r\n");
    EXPECT_EQ(ini.readInteger("N", "hex", 0), 31);
    EXPECT_EQ(ini.readInteger("N", "HEX2", 3), 3);
    EXPECT_EQ(ini.readInteger("n", "hex", 0), 31) << "section and key names ignore case";
    EXPECT_EQ(ini.readInteger("N", "short", 9), 9) << "\"0x\" alone is not a number";
    EXPECT_EQ(ini.readInteger("N", "neg", 0), -42);
    EXPECT_EQ(ini.readInteger("N", "word", 5), 5);
    EXPECT_EQ(ini.readInteger("N", "tail", 5), 5);
    EXPECT_EQ(ini.readInteger("N", "big", 5), 5) << "out of range gives the default";
    EXPECT_EQ(ini.readInteger("N", "max", 0), 2147483647);
    EXPECT_EQ(ini.readInteger("N", "min", 0), -2147483647 - 1);
    EXPECT_EQ(ini.readInteger("N", "dollar", 0), 31);
    EXPECT_EQ(ini.readInteger("N", "wrap", 0), -1);
    EXPECT_EQ(ini.readInteger("N", "empty", 8), 8);
    EXPECT_EQ(ini.readInteger("N", "plus", 0), 7);
}

TEST_F(SettingsFileTest, BooleansAreIntegersWhereAnythingButZeroIsTrue) {
    folder.write("obu.ini", "[B]\nzero=0\none=1\ntwo=2\nminus=-1\nhex=0x0\nword=yes\n");
    EXPECT_FALSE(ini.readBool("B", "zero", true));
    EXPECT_TRUE(ini.readBool("B", "one", false));
    EXPECT_TRUE(ini.readBool("B", "two", false));
    EXPECT_TRUE(ini.readBool("B", "minus", false));
    EXPECT_FALSE(ini.readBool("B", "hex", true));
    EXPECT_TRUE(ini.readBool("B", "word", true)) << "unreadable text gives the default";
    EXPECT_FALSE(ini.readBool("B", "word", false));
}

TEST_F(SettingsFileTest, WrittenValuesReadBackExactlyAndAreStoredAsTheyWere) {
    ini.writeBool("Options", "Sound", true);
    ini.writeInteger("Position", "x", -120);
    ini.writeString("Connection", "Username", "  spaced user  ");
    ini.writeString("Connection", "Name", "'quoted'");
    ini.writeString("Extras Name", "1", "Caf\u00e9 ]: news");
    EXPECT_TRUE(ini.readBool("Options", "Sound", false));
    EXPECT_EQ(ini.readInteger("Position", "x", 0), -120);
    EXPECT_EQ(ini.readString("Connection", "Username", ""), "  spaced user  ");
    EXPECT_EQ(ini.readString("Connection", "Name", ""), "'quoted'");
    EXPECT_EQ(ini.readString("Extras Name", "1", ""), QString::fromUtf8("Caf\u00e9 ]: news"));
    const QByteArray bytes = folder.read("obu.ini");
    EXPECT_TRUE(bytes.contains("[Options]\r\nSound=1\r\n"));
    EXPECT_TRUE(bytes.contains("x=-120\r\n"));
    EXPECT_TRUE(bytes.contains("1=Caf\xe9 ]: news\r\n")) << "single-byte text";
}

TEST_F(SettingsFileTest, TextIsCutAt1023Characters) {
    const QString longText(2000, QLatin1Char('a'));
    ini.writeString("S", "k", longText);
    EXPECT_EQ(ini.readString("S", "k", "").size(), 1023);
}

TEST_F(SettingsFileTest, AFailedWriteSaysWhichFileCouldNotBeWritten) {
    SettingsFile unwritable(profile, folder.file("no-such-folder/obu.ini"));
    try {
        unwritable.writeBool("Options", "Sound", true);
        FAIL() << "the write must fail";
    } catch (const WriteError& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + folder.file("no-such-folder/obu.ini"));
    }
}

TEST_F(SettingsFileTest, EveryPasswordCodeSurvivesTheFile) {
    QString every;
    for (int c = 1; c <= 255; ++c) every += QChar(c);
    ini.writeString("Connection", "Password", encodePassword(every));
    EXPECT_EQ(decodePassword(ini.readString("Connection", "Password", "")), every);
    // Blanks at either end of the encoded form (codes 25) must survive the trimming of values.
    const QString edgy = QString(QChar(25)) + "pw" + QChar(25);
    ini.writeString("Connection", "Password", encodePassword(edgy));
    EXPECT_EQ(decodePassword(ini.readString("Connection", "Password", "")), edgy);
}
