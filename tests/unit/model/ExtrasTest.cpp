// The launcher's rules: what is started, what is logged and shown, and what
// is refused, on the settings file as a user leaves it.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <memory>

#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/Settings.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

using namespace obu;
using obu::test::RecordingShell;

namespace {

const QString kHttpCommand = QStringLiteral("HTTP\\shell\\open\\command");

struct ExtrasTest : ::testing::Test {
    test::TempFolder folder;
    test::VirtualTime time;
    Formats formats;
    IniFileProfile profile;
    RecordingShell shell;
    test::FakeRegistry registry;
    Platform platform;
    EventLog log{time, formats, folder.file("log.txt")};
    QStringList logged;
    std::unique_ptr<Settings> settings;

    ExtrasTest() {
        platform.clock = &time;
        platform.shell = &shell;
        platform.registry = &registry;
        log.start(QStringLiteral("OBU Launched"));
        log.setEcho([this](const QString& line) { logged << line.mid(line.indexOf("]: ") + 3); });
    }
    // Extras read from these sections, every slot's light on.
    void load(Extras& extras, const QByteArray& sections) {
        folder.write("obu.ini", sections +
                                    "[Lights]\r\n1=1\r\n2=1\r\n3=1\r\n4=1\r\n5=1\r\n6=1\r\n"
                                    "7=1\r\n8=1\r\n");
        settings = std::make_unique<Settings>(profile, folder.file("obu.ini"));
        extras.load(*settings);
    }
};

}  // namespace

TEST_F(ExtrasTest, StartsThatFailAreLoggedAsFailuresNotAsLaunched) {
    registry.set(kHttpCommand, "/usr/bin/browser");
    shell.commandLineResult = Shell::kFileNotFound;
    shell.openResult = Shell::kAccessDenied;
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n1=1\r\n5=1\r\n[Extras Name]\r\n1=Home\r\n5=Tool\r\n"
         "[Extras Path]\r\n1=http://home.example/\r\n5=/opt/tool\r\n");
    extras.launch(log, nullptr);
    EXPECT_EQ(logged,
              QStringList({"Launching extras", "Home could not be launched (file not found)",
                           "Tool could not be launched (access denied)"}));
}

TEST_F(ExtrasTest, EmptyNamesLeaveTheirPlaceEmptyInTheStatusAndTheLog) {
    registry.set(kHttpCommand, "/usr/bin/browser");
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n3=1\r\n8=1\r\n[Extras Path]\r\n3=http://three.example/\r\n"
         "8=/usr/bin/eight\r\n");
    QSignalSpy status(&extras, &Extras::launching);
    extras.launch(log, nullptr);
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[0][0].toString(), "Launching Webpage: ");
    EXPECT_EQ(status[1][0].toString(), "Launching Program: ");
    EXPECT_EQ(logged, QStringList({"Launching extras", " launched", " launched"}));
}

TEST_F(ExtrasTest, WithoutABrowserCommandThePageGoesToTheDesktopsOpener) {
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n2=1\r\n[Extras Name]\r\n2=Two\r\n"
         "[Extras Path]\r\n2=http://two.example/\r\n");
    extras.launch(log, nullptr);
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].kind, RecordingShell::Call::Open);
    EXPECT_EQ(shell.calls[0].file, "http://two.example/");
    EXPECT_EQ(shell.calls[0].parameters, "");
    EXPECT_EQ(logged, QStringList({"Launching extras", "Two launched"}));
}

TEST_F(ExtrasTest, APathLongerThanItsFieldIsNeverStartedCut) {
    const QByteArray longName(300, 'n');
    registry.set(kHttpCommand, "/usr/bin/browser");
    Extras extras(platform);
    load(extras, "[Extras Set]\r\n1=1\r\n5=1\r\n6=1\r\n[Extras Name]\r\n1=" + longName +
                     "\r\n5=Tool\r\n6=Mail\r\n[Extras Path]\r\n1=http://long.example/" +
                     QByteArray(300, 'u') + "\r\n5=/opt/" + QByteArray(300, 't') +
                     "\r\n6=/usr/bin/mail\r\n");
    extras.launch(log, nullptr);
    ASSERT_EQ(shell.calls.size(), 1) << "only the program whose path fits is started";
    EXPECT_EQ(shell.calls[0].file, "/usr/bin/mail");
    EXPECT_TRUE(
        logged.contains(QString::fromLatin1(longName.left(255)) +
                        " could not be launched (its address is longer than 255 characters)"));
    EXPECT_TRUE(logged.contains(
        "Tool could not be launched (its file name is longer than 255 characters)"));
}

TEST_F(ExtrasTest, ARowWithoutANameLeftUnderItsPlaceholderIsKeptAsItIs) {
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n3=1\r\n8=1\r\n[Extras Path]\r\n3=http://three.example/\r\n"
         "8=/usr/bin/eight\r\n");
    extras.toggle(8);
    // The editor shows both nameless rows under their placeholders, and a new
    // program row left at its placeholder.
    std::array<QString, Extras::kSlots + 1> names, paths;
    for (int n = 1; n <= Extras::kSlots; ++n) names[n] = Extras::unsetName(n);
    paths[3] = QStringLiteral("http://three.example/");
    paths[8] = QStringLiteral("/usr/bin/eight");
    paths[6] = QStringLiteral("/usr/bin/six");
    EXPECT_EQ(extras.rowChange(3, names[3], paths[3]), Extras::RowChange::Keep);
    extras.applyRows(names, paths);
    EXPECT_EQ(extras.slot(3).name, "");
    EXPECT_EQ(extras.slot(8).name, "");
    EXPECT_FALSE(extras.isOn(8)) << "an unchanged row keeps its light";
    EXPECT_EQ(extras.slot(6).name, "Program Name 2") << "a new row is stored under it";
    EXPECT_TRUE(extras.isOn(6));
}
