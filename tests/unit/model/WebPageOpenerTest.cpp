// The web page opener on a registry and a shell that only record: what it
// starts for an address, and where it goes when the desktop names no browser.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include "model/WebPageOpener.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/RecordingShell.h"

using namespace obu;
using obu::test::FakeRegistry;
using obu::test::RecordingShell;

namespace {

class WebPageOpenerTest : public ::testing::Test {
protected:
    FakeRegistry registry;
    RecordingShell shell;
    WebPageOpener web{registry, shell};
};

TEST_F(WebPageOpenerTest, TheDesktopsBrowserGetsTheAddressAsOneArgument) {
    EXPECT_EQ(web.url(), WebPageOpener::ProductPage);
    registry.set("https", {"/opt/My Browser/browser", "--new-window", "%u"});
    const QString address = "https://vantor-studio.example/a page?q=\"x y\"&r=$(id)";
    web.setUrl(address);
    EXPECT_TRUE(web.open());
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].kind, RecordingShell::Call::Start);
    EXPECT_EQ(shell.calls[0].command,
              QStringList({"/opt/My Browser/browser", "--new-window", address}));

    shell.startOutcome = Shell::Outcome::NotFound;
    EXPECT_FALSE(web.open()) << "a browser that did not start is no success";
}

TEST_F(WebPageOpenerTest, WithoutABrowserTheDesktopsOpenerGetsTheAddress) {
    EXPECT_TRUE(web.open());
    ASSERT_EQ(shell.calls.size(), 1);
    EXPECT_EQ(shell.calls[0].kind, RecordingShell::Call::Open);
    EXPECT_EQ(shell.calls[0].target, WebPageOpener::ProductPage);
    shell.openOutcome = Shell::Outcome::NoApplication;
    EXPECT_EQ(WebPageOpener::openPage(nullptr, shell, "http://x.example/"),
              Shell::Outcome::NoApplication);
}

TEST_F(WebPageOpenerTest, AnAddressIsLookedUpByItsSchemeThenAsAWebPage) {
    EXPECT_EQ(Registry::schemeOf("HTTPS://x.example/"), "https");
    EXPECT_EQ(Registry::schemeOf("  ftp://x.example/"), "ftp");
    EXPECT_EQ(Registry::schemeOf("www.example.org/a:b"), "http") << "no scheme: a web address";
    EXPECT_EQ(Registry::schemeOf(""), "http");

    registry.set("http", {"/usr/bin/plain"});
    registry.set("text/html", {"/usr/bin/pages"});
    EXPECT_EQ(registry.commandFor("www.example.org"),
              QStringList({"/usr/bin/plain", "www.example.org"}));
    EXPECT_EQ(registry.commandFor("gopher://x.example/"),
              QStringList({"/usr/bin/pages", "gopher://x.example/"}));
}

}  // namespace
