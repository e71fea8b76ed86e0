// The web page opener on a registry and a shell that only record: where it
// finds the browser's command and what it starts.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include <QObject>

#include "model/WebPageOpener.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/RecordingShell.h"

using namespace obu;
using obu::test::FakeRegistry;
using obu::test::RecordingShell;

namespace {

class WebPageOpenerTest : public ::testing::Test {
protected:
    // The one thing started; fails the test when there is not exactly one.
    RecordingShell::Call started() const {
        EXPECT_EQ(shell.calls.size(), 1);
        return shell.calls.value(0);
    }

    FakeRegistry registry;
    RecordingShell shell;
    QObject owner;
    WebPageOpener web{registry, shell, &owner};
};

TEST_F(WebPageOpenerTest, QuotedProgramPathWithSwitchAndPlaceholder) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("htmlfile"));
    registry.set(QStringLiteral("htmlfile\\shell\\open\\command"),
                 QStringLiteral("\"C:\\Program Files\\browser.exe\" -nohome \"%1\""));
    EXPECT_EQ(web.findBrowserCommand(),
              QStringLiteral("\"C:\\Program Files\\browser.exe\" -nohome \"\""));

    web.setUrl(QStringLiteral("https://vantor-studio.example/Page"));
    EXPECT_TRUE(web.open());
    const auto call = started();
    EXPECT_EQ(call.kind, RecordingShell::Call::Open);
    EXPECT_EQ(call.owner, &owner);
    EXPECT_TRUE(call.verb.isEmpty());
    EXPECT_EQ(call.file, QStringLiteral("C:\\Program Files\\browser.exe"));
    // The blank before the switch stays: trimming comes before the quote goes.
    EXPECT_EQ(call.parameters, QStringLiteral(" -nohome \"\" https://vantor-studio.example/Page"));
    EXPECT_TRUE(call.directory.isEmpty());
    EXPECT_EQ(call.showCmd, Shell::kShowRestored);
}

TEST_F(WebPageOpenerTest, EmptyClassFallsBackToTheExtensionsOwnCommand) {
    registry.set(QStringLiteral(".HTM"), QString());
    registry.set(QStringLiteral(".HTM\\shell\\open\\command"),
                 QStringLiteral("C:\\web\\view.exe %1"));
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\web\\view.exe "));

    // So does a class whose command is missing or empty.
    registry.set(QStringLiteral(".HTM"), QStringLiteral("gonefile"));
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\web\\view.exe "));
    registry.set(QStringLiteral("gonefile\\shell\\open\\command"), QString());
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\web\\view.exe "));
    registry.set(QStringLiteral("gonefile\\shell\\open\\command"), QStringLiteral("C:\\gone.exe"));
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\gone.exe"));
}

TEST_F(WebPageOpenerTest, ExtensionsAreTriedInTurn) {
    registry.addKey(QStringLiteral(".html"));  // no default value
    registry.set(QStringLiteral(".shtml"), QStringLiteral("shtmlfile"));
    registry.set(QStringLiteral("shtmlfile\\shell\\open\\command"), QString());
    registry.set(QStringLiteral(".shtml\\shell\\open\\command"), QString());
    EXPECT_TRUE(web.findBrowserCommand().isEmpty());
    EXPECT_FALSE(web.open());
    EXPECT_TRUE(shell.calls.isEmpty());

    registry.set(QStringLiteral(".shtm"), QString());
    registry.set(QStringLiteral(".shtm\\shell\\open\\command"), QStringLiteral("C:\\last.exe"));
    registry.lookedUp.clear();
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\last.exe"));
    EXPECT_EQ(
        registry.lookedUp,
        (QStringList{".htm", ".html", ".shtml", "shtmlfile\\shell\\open\\command",
                     ".shtml\\shell\\open\\command", ".shtm", ".shtm\\shell\\open\\command"}));

    // The first extension that gives a command wins.
    registry.set(QStringLiteral(".html\\shell\\open\\command"), QStringLiteral("C:\\second.exe"));
    registry.set(QStringLiteral(".html"), QString());
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\second.exe"));
}

TEST_F(WebPageOpenerTest, PercentSignsGoWithTheirNextCharacterButALastOneStays) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("x"));
    registry.set(QStringLiteral("x\\shell\\open\\command"),
                 QStringLiteral("C:\\b.exe %1 %%1 %L 50%"));
    EXPECT_EQ(web.findBrowserCommand(), QStringLiteral("C:\\b.exe  1  50%"));

    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().parameters, QStringLiteral("1  50% ") + WebPageOpener::DefaultUrl);
}

TEST_F(WebPageOpenerTest, ProgramWithoutParametersGetsABlankAndTheAddress) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("x"));
    registry.set(QStringLiteral("x\\shell\\open\\command"),
                 QStringLiteral("\"C:\\Old\\IEXPLORE.EXE\""));
    web.setUrl(QStringLiteral("https://obu-linekeeper.example/"));
    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().file, QStringLiteral("C:\\Old\\IEXPLORE.EXE"));
    EXPECT_EQ(started().parameters, QStringLiteral(" https://obu-linekeeper.example/"));
}

TEST_F(WebPageOpenerTest, TheLastExtensionEndsTheProgramAndCaseIsKept) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("x"));
    registry.set(QStringLiteral("x\\shell\\open\\command"),
                 QStringLiteral("\"C:\\Tools.com\\Run.Bat\" \"C:\\Start Page.htm\"  "));
    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().file, QStringLiteral("C:\\Tools.com\\Run.Bat"));
    // Only the first of the leading quotes goes here: a blank follows it.
    EXPECT_EQ(started().parameters,
              QStringLiteral(" \"C:\\Start Page.htm\" ") + WebPageOpener::DefaultUrl);
}

TEST_F(WebPageOpenerTest, LinuxCommandsRunWholeWithTheAddressAsOneArgument) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("text/html"));
    registry.set(QStringLiteral("text/html\\shell\\open\\command"),
                 QStringLiteral("\"/opt/My Browser/browser\" --new-window \"%1\""));
    web.setUrl(QStringLiteral("https://obu-linekeeper.example/a b"));
    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().file, QStringLiteral("/opt/My Browser/browser"));
    EXPECT_EQ(started().parameters,
              QStringLiteral("--new-window \"https://obu-linekeeper.example/a b\""));
    EXPECT_EQ(started().showCmd, Shell::kShowRestored);

    // A folder named like a .com host is not the program's end.
    shell.calls.clear();
    registry.set(QStringLiteral("text/html\\shell\\open\\command"),
                 QStringLiteral("/opt/vendor.com/bin/browser %u"));
    web.setUrl(WebPageOpener::MakerPage);
    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().file, QStringLiteral("/opt/vendor.com/bin/browser"));
    EXPECT_EQ(started().parameters, WebPageOpener::MakerPage);

    // A command that is only a program.
    shell.calls.clear();
    registry.set(QStringLiteral("text/html\\shell\\open\\command"), QStringLiteral("firefox"));
    EXPECT_TRUE(web.open());
    EXPECT_EQ(started().file, QStringLiteral("firefox"));
    EXPECT_EQ(started().parameters, WebPageOpener::MakerPage);
}

TEST_F(WebPageOpenerTest, TheShellsResultDecides) {
    registry.set(QStringLiteral(".htm"), QStringLiteral("x"));
    registry.set(QStringLiteral("x\\shell\\open\\command"),
                 QStringLiteral("/usr/bin/browser \"%1\""));
    for (const qintptr result : {0, 2, 31, 32}) {
        shell.openResult = result;
        EXPECT_FALSE(web.open()) << result;
    }
    shell.openResult = 33;
    EXPECT_TRUE(web.open());
}

TEST_F(WebPageOpenerTest, AddressesAndLongCommands) {
    EXPECT_EQ(web.url(), WebPageOpener::DefaultUrl);
    EXPECT_EQ(WebPageOpener::DefaultUrl, QStringLiteral("https://obu-linekeeper.example/"));
    EXPECT_EQ(WebPageOpener::MakerPage, QStringLiteral("https://vantor-studio.example/"));

    // Only 1024 characters of a value are read.
    registry.set(QStringLiteral(".htm"), QStringLiteral("x"));
    registry.set(QStringLiteral("x\\shell\\open\\command"),
                 QStringLiteral("/usr/bin/browser ") + QString(2000, u'a'));
    EXPECT_EQ(web.findBrowserCommand().size(), Registry::kMaxValueLength);
}

}  // namespace
