#include <gtest/gtest.h>

#include "model/Settings.h"
#include "platform/IniFileProfile.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

struct SettingsTest : ::testing::Test {
    test::TempFolder folder;
    IniFileProfile profile;
    Settings settings{profile, folder.file("obu.ini")};
};

}  // namespace

TEST_F(SettingsTest, AFileWithoutTheKeysGivesTheirDefaults) {
    EXPECT_TRUE(settings.flag(Setting::Sound));
    EXPECT_TRUE(settings.flag(Setting::RedialIfBusy));
    EXPECT_FALSE(settings.flag(Setting::MinimizeOnConnect));
    EXPECT_FALSE(settings.flag({Setting::ExtraLight, 8}));
    EXPECT_EQ(settings.number(Setting::WindowLeft), 5);
    EXPECT_EQ(settings.number(Setting::WindowTop), 5);
    EXPECT_EQ(settings.number(Setting::DisconnectMinutes), 0);
    EXPECT_EQ(settings.text({Setting::EntryPassword, QStringLiteral("Home")}), QString());
}

// The names in the file are what files in use hold: each key is written under
// its own section and name, passwords in their stored form.
TEST_F(SettingsTest, EachKeyIsStoredUnderItsSectionAndName) {
    Settings::Changes changes;
    changes.setFlag(Setting::Sound, false);
    changes.setFlag(Setting::MinimizeOnConnect, true);
    changes.setFlag(Setting::MinimizeDialUpWindow, true);
    changes.setFlag(Setting::RedialIfBusy, false);
    changes.setFlag(Setting::DailyAlarm, true);
    changes.setText(Setting::AlarmTime, QStringLiteral("9:05:00  PM"));
    changes.setText(Setting::EntryName, QStringLiteral("Home"));
    changes.setText(Setting::UserName, QStringLiteral("ann"));
    changes.setText(Setting::Password, QStringLiteral("ab"));
    changes.setFlag(Setting::ConnectOnStart, true);
    changes.setNumber(Setting::WindowLeft, -3);
    changes.setNumber(Setting::WindowTop, 40);
    changes.setNumber(Setting::DisconnectMinutes, 15);
    changes.setFlag({Setting::ExtraLight, 2}, true);
    changes.setFlag({Setting::ExtraSet, 5}, true);
    changes.setText({Setting::ExtraName, 5}, QStringLiteral("Mail"));
    changes.setText({Setting::ExtraPath, 5}, QStringLiteral("/usr/bin/mail"));
    changes.setText({Setting::EntryUserName, QStringLiteral("Home")}, QStringLiteral("ann"));
    changes.setText({Setting::EntryPassword, QStringLiteral("Home")}, QStringLiteral("ab"));
    settings.write(changes);

    EXPECT_EQ(
        folder.read("obu.ini"),
        "[Options]\r\nSound=0\r\nMinimize=1\r\nMinimize Dun=1\r\nRedial=0\r\n"
        "[Alarm]\r\nDaily=1\r\nTime=9:05:00  PM\r\n"
        "[Connection]\r\nName=Home\r\nUsername=ann\r\nPassword=hi\r\nAutoConnect=1\r\n"
        "[Position]\r\nx=-3\r\ny=40\r\n"
        "[DTimer]\r\nValue=15\r\n"
        "[Lights]\r\n2=1\r\n"
        "[Extras Set]\r\n5=1\r\n[Extras Name]\r\n5=Mail\r\n[Extras Path]\r\n5=/usr/bin/mail\r\n"
        "[Home]\r\nUsername=ann\r\nPassword=hi\r\n");
    EXPECT_EQ(settings.text(Setting::Password), QStringLiteral("ab"));
    EXPECT_EQ(settings.text({Setting::EntryPassword, QStringLiteral("home")}), QStringLiteral("ab"))
        << "an entry's section is found whatever its case";
}
