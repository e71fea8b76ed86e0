// How the default browser's registered command becomes the command line that
// opens one page.
#include <gtest/gtest.h>

#include "model/BrowserCommand.h"
#include "platform/CommandLine.h"

using namespace obu;

TEST(BrowserCommandLine, TheClassicCutAndTheWholeCommandWhereTheCutWouldBreakIt) {
    const QString url = QStringLiteral("http://a.example/p?q=1");
    const struct {
        QString registered;
        QString expected;
        bool cut;
    } cases[] = {
        // A program, then switches: cut before the first dash.
        {R"("C:\Program Files\Browser\browser.exe" -nohome "%1")",
         R"("C:\Program Files\Browser\browser.exe"  )" + url, true},
        {"\"/opt/My Browser/run\" --new-window", "\"/opt/My Browser/run\"  " + url, true},
        // No dash at all: the whole command, its placeholder filled.
        {"\"/usr/bin/browser\" \"%1\"", "/usr/bin/browser " + url, false},
        {"\"/opt/My Browser/run\" %1", "\"/opt/My Browser/run\" " + url, false},
        {"/usr/bin/links", "/usr/bin/links " + url, false},
        // A dash inside the program's path.
        {"/usr/lib/firefox-esr/firefox-esr \"%1\"", "/usr/lib/firefox-esr/firefox-esr " + url,
         false},
        {"\"/opt/web-tools/run\" -new \"%1\"", "/opt/web-tools/run -new " + url, false},
        // A placeholder behind the first switch goes with the cut.
        {"/usr/bin/browser --url=%1", "/usr/bin/browser  " + url, true},
        {"/usr/bin/flatpak run --branch=stable org.mozilla.firefox @@u \"%1\" @@",
         "/usr/bin/flatpak run  " + url, true},
        // The placeholder before the first switch would be left behind by the cut.
        {"/usr/bin/browser \"%1\" --new-window", "/usr/bin/browser " + url + " --new-window",
         false},
        {"/usr/lib/web-browser/run --url=%1", "/usr/lib/web-browser/run --url=" + url, false},
        {"/usr/bin/browser \"%L\"", "/usr/bin/browser " + url, false},
    };
    for (const auto& c : cases) {
        const BrowserCommand browser(c.registered);
        EXPECT_EQ(browser.commandLineFor(url), c.expected) << c.registered.toStdString();
        EXPECT_EQ(browser.isCut(), c.cut) << c.registered.toStdString();
    }
    EXPECT_TRUE(BrowserCommand().isEmpty());
    EXPECT_TRUE(BrowserCommand("   ").commandLineFor(url).isEmpty());
    EXPECT_EQ(BrowserCommand("/usr/bin/browser \"%1\"").commandLineFor("http://x/%1%L"),
              "/usr/bin/browser http://x/%1%L")
        << "a placeholder inside the address is the address's own text";
}

TEST(BrowserCommandLine, AnAddressIsAlwaysOneArgument) {
    const QStringList addresses = {
        "http://a.example/?q=\"x y\"&r=$(touch pwned);`id`",
        "http://a.example/ two words",
        "http://a.example/ends\\",
        "http://a.example/\\\"quoted\\\"",
        "http://a.example/" + QString(300, u'w'),
        "",
    };
    const QStringList commands = {R"("C:\Program Files\Browser\browser.exe" -nohome "%1")",
                                  "/usr/lib/firefox-esr/firefox-esr \"%1\"", "/usr/bin/links"};
    for (const QString& command : commands)
        for (const QString& url : addresses) {
            const QStringList argv =
                CommandLine::split(BrowserCommand(command).commandLineFor(url));
            ASSERT_GE(argv.size(), 2);
            EXPECT_EQ(argv.last(), url) << command.toStdString() << " / " << url.toStdString();
        }
}
