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
#include "platform/WindowTimer.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

using namespace obu;
using obu::test::RecordingShell;

namespace {

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
        platform.loop = &time;
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
    // Launches and waits until every extra has been started.
    void launchAll(Extras& extras) {
        extras.launch(log);
        ASSERT_TRUE(time.advanceUntil([&] { return !extras.isLaunching(); }, 20000));
    }
};

}  // namespace

TEST_F(ExtrasTest, StartsThatFailAreLoggedAsFailuresNotAsLaunched) {
    registry.set("http", {"/usr/bin/browser"});
    shell.startOutcome = Shell::Outcome::NotFound;
    shell.openOutcome = Shell::Outcome::NotAllowed;
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n1=1\r\n5=1\r\n[Extras Name]\r\n1=Home\r\n5=Tool\r\n"
         "[Extras Path]\r\n1=http://home.example/\r\n5=/opt/tool\r\n");
    launchAll(extras);
    EXPECT_EQ(logged,
              QStringList({"Launching extras", "Home could not be launched (file not found)",
                           "Tool could not be launched (access denied)"}));
}

TEST_F(ExtrasTest, EmptyNamesLeaveTheirPlaceEmptyInTheStatusAndTheLog) {
    registry.set("http", {"/usr/bin/browser"});
    Extras extras(platform);
    load(extras,
         "[Extras Set]\r\n3=1\r\n8=1\r\n[Extras Path]\r\n3=http://three.example/\r\n"
         "8=/usr/bin/eight\r\n");
    QSignalSpy status(&extras, &Extras::launching);
    launchAll(extras);
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
    launchAll(extras);
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].kind, RecordingShell::Call::Open);
    EXPECT_EQ(shell.calls[0].target, "http://two.example/");
    EXPECT_EQ(logged, QStringList({"Launching extras", "Two launched"}));
}

TEST_F(ExtrasTest, APathLongerThanItsFieldIsNeverStartedCut) {
    const QByteArray longName(300, 'n');
    registry.set("http", {"/usr/bin/browser"});
    Extras extras(platform);
    load(extras, "[Extras Set]\r\n1=1\r\n5=1\r\n6=1\r\n[Extras Name]\r\n1=" + longName +
                     "\r\n5=Tool\r\n6=Mail\r\n[Extras Path]\r\n1=http://long.example/" +
                     QByteArray(300, 'u') + "\r\n5=/opt/" + QByteArray(300, 't') +
                     "\r\n6=/usr/bin/mail\r\n");
    launchAll(extras);
    ASSERT_EQ(shell.calls.size(), 1) << "only the program whose path fits is started";
    EXPECT_EQ(shell.calls[0].target, "/usr/bin/mail");
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

TEST_F(ExtrasTest, PagesWaitOnTheLoopsTimerAndALaunchAskedForMeanwhileFollows) {
    registry.set("http", {"/usr/bin/browser"});
    auto extras = std::make_unique<Extras>(platform);
    load(*extras,
         "[Extras Set]\r\n1=1\r\n2=1\r\n5=1\r\n[Extras Name]\r\n1=One\r\n2=Two\r\n5=Five\r\n"
         "[Extras Path]\r\n1=http://one.example/\r\n2=http://two.example/\r\n5=/usr/bin/five\r\n");
    QSignalSpy launched(extras.get(), &Extras::launched);
    int otherTicks = 0;
    WindowTimer other(time, 100, true);
    other.setOnTimer([&] { ++otherTicks; });

    extras->launch(log);
    EXPECT_TRUE(extras->isLaunching());
    EXPECT_TRUE(shell.calls.isEmpty()) << "the call returns before the first page";
    extras->launch(log);
    extras->toggle(2);  // what starts was decided at the launch
    time.advance(2999);
    EXPECT_TRUE(shell.calls.isEmpty());
    EXPECT_EQ(otherTicks, 29) << "the loop is served while the page waits";
    time.advance(1);
    ASSERT_EQ(shell.calls.size(), 1);
    time.advance(3000);
    ASSERT_EQ(shell.calls.size(), 3) << "the program follows the last page at once";
    EXPECT_EQ(launched.size(), 1);
    EXPECT_EQ(logged, QStringList({"Launching extras", "One launched", "Two launched",
                                   "Five launched", "Launching extras"}));

    // The second launch takes the lights as they are now.
    time.advance(3000);
    ASSERT_EQ(shell.calls.size(), 5);
    EXPECT_EQ(shell.calls[3].command, QStringList({"/usr/bin/browser", "http://one.example/"}));
    EXPECT_EQ(shell.calls[4].target, "/usr/bin/five");
    EXPECT_EQ(launched.size(), 2);

    extras->launch(log);
    extras.reset();
    time.advance(10000);
    EXPECT_EQ(shell.calls.size(), 5) << "nothing starts once the extras are gone";
}
