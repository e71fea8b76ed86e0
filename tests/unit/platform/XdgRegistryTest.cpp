// The desktop's default applications and their commands read from a real XDG
// tree in a temporary folder: mimeapps.list files, caches, desktop files.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "model/WebPageOpener.h"
#include "platform/PosixShell.h"
#include "platform/XdgRegistry.h"
#include "tests/unit/platform/Recorder.h"

using namespace obu;
using obu::test::Recorder;

namespace {

// Points the XDG variables at a test's tree for the life of the object, as a
// desktop session that names no desktop: the opener works only inside a
// session, and on its own rules when it knows no desktop.
class XdgEnvironment {
public:
    explicit XdgEnvironment(const XdgDirs& d) {
        for (const char* name : kNames) m_saved.append(qgetenv(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(d.dataHome));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(d.dataDirs.join(u':')));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(d.configHome));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(d.configDirs.join(u':')));
        qunsetenv("XDG_CURRENT_DESKTOP");
        if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("DISPLAY", ":0");
    }
    ~XdgEnvironment() {
        for (int i = 0; i < 6; ++i) {
            if (m_saved[i].isNull())
                qunsetenv(kNames[i]);
            else
                qputenv(kNames[i], m_saved[i]);
        }
    }
    XdgEnvironment(const XdgEnvironment&) = delete;
    XdgEnvironment& operator=(const XdgEnvironment&) = delete;

private:
    static constexpr const char* kNames[6] = {"XDG_DATA_HOME",       "XDG_DATA_DIRS",
                                              "XDG_CONFIG_HOME",     "XDG_CONFIG_DIRS",
                                              "XDG_CURRENT_DESKTOP", "DISPLAY"};
    QList<QByteArray> m_saved;
};

class XdgRegistryTest : public ::testing::Test {
protected:
    XdgRegistryTest() {
        dirs.dataHome = at("data-home");
        dirs.dataDirs = {at("share-a"), at("share-b")};
        dirs.configHome = at("config");
        dirs.configDirs = {at("etc-xdg")};
        dirs.desktops = {QStringLiteral("demo"), QStringLiteral("gnome")};
        dirs.path = {at("bin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    }

    QString at(const QByteArray& relative) const {
        return root.filePath(QString::fromUtf8(relative));
    }

    void write(const QByteArray& relative, const QByteArray& text) const {
        const QString path = at(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // An executable file at `relative`.
    QString program(const QByteArray& relative) const {
        write(relative, "#!/bin/sh\n");
        QFile::setPermissions(at(relative), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return at(relative);
    }

    void desktopFile(const QByteArray& relative, const QByteArray& exec,
                     const QByteArray& more = {}) const {
        write(relative,
              "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec + "\n" + more);
    }

    QTemporaryDir root;
    XdgDirs dirs;
};

TEST_F(XdgRegistryTest, ExecLinesBecomeCommandsWithTheAddressWhole) {
    const QString spaced = program("opt/My Browser/browser");
    const QString plain = program("bin/browser");
    const QString a = QStringLiteral("http://x.example/a b?q=\"1\"");

    const std::pair<QString, QStringList> cases[] = {
        {u'"' + spaced + QStringLiteral("\" --new-window %u"), {spaced, "--new-window", a}},
        // The unescaped blank of a string value, %i %c %k dropped, a bare name found on PATH.
        {QStringLiteral("browser\\s--x %i %c %k %U"), {plain, "--x", a}},
        {QStringLiteral("browser %F --class=%c"), {plain, a, "--class="}},
        {QStringLiteral("browser --title=\"100%% sure\" %f"), {plain, "--title=100% sure", a}},
        {QStringLiteral("browser --app=%u"), {plain, "--app=" + a}},
        // Escapes inside quotes: \" \` \$ and \\ (written \\\\ in the file).
        {QStringLiteral(R"(browser "say \"hi\" \$HOME \`x\` a\\\\b" "")"),
         {plain, R"(say "hi" $HOME `x` a\b)", "", a}},
        {QStringLiteral("/usr/bin/env A=1 browser %u"), {"/usr/bin/env", "A=1", "browser", a}},
        // Without a field code the address comes last.
        {QStringLiteral("browser --private"), {plain, "--private", a}},
        // Nothing to run.
        {QStringLiteral("no-such-browser-anywhere %u"), {}},
        {QStringLiteral("%u"), {}},
        {QString(), {}},
    };
    for (const auto& [exec, command] : cases)
        EXPECT_EQ(XdgRegistry::commandFromExec(exec, a, dirs.path), command) << exec.toStdString();
}

TEST_F(XdgRegistryTest, DefaultApplicationFollowsTheOrderOfTheLists) {
    program("bin/browser");
    for (const char* name : {"one", "two", "three", "four", "five", "six", "seven"})
        desktopFile(QByteArray("share-b/applications/") + name + ".desktop",
                    QByteArray("browser --") + name + " %u");
    XdgRegistry registry(dirs);
    // An address of a scheme without a handler goes to the web pages' application.
    auto opened = [&]() {
        const QStringList c = registry.commandFor(QStringLiteral("gopher://x.example/"));
        return c.isEmpty() ? QStringLiteral("<none>") : c.mid(0, 2).join(u' ');
    };
    const QString b = at("bin/browser");

    EXPECT_EQ(opened(), QStringLiteral("<none>"));
    write("share-b/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=seven.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --seven"));

    // Added associations come before the cache; removals in a more important
    // file take them away.
    write("etc-xdg/mimeapps.list", "[Added Associations]\ntext/html=six.desktop;five.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --six"));
    write("config/mimeapps.list", "[Removed Associations]\ntext/html=six.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --five"));

    // Defaults beat associations in any file; the first installed one listed wins.
    write("share-a/applications/mimeapps.list",
          "[Default Applications]\ntext/html=missing.desktop;four.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --four"));
    write("config/mimeapps.list", "[Default Applications]\ntext/html=three.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --three"));
    // The desktop's own list comes first in its folder.
    write("config/gnome-mimeapps.list", "[Default Applications]\ntext/html=two.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --two"));
    write("config/demo-mimeapps.list", "[Default Applications]\nText/HTML=one.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --one"));

    // An application hidden in a more important folder is not installed;
    // nor is one whose TryExec or program is missing.
    write("data-home/applications/one.desktop", "[Desktop Entry]\nHidden=true\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --two"));
    desktopFile("data-home/applications/two.desktop", "browser --two %u",
                "TryExec=/no/such/program\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --three"));
    desktopFile("data-home/applications/three.desktop", "gone-browser %u");
    EXPECT_EQ(opened(), b + QStringLiteral(" --four"));

    EXPECT_EQ(registry.defaultApplication(QStringLiteral("Text/HTML")),
              at("share-b/applications/four.desktop"));
}

TEST_F(XdgRegistryTest, AnAddressGoesToTheHandlerOfItsSchemeFoundInVendorFolders) {
    program("bin/web");
    program("bin/pages");
    desktopFile("share-a/applications/vendor/web.desktop", "web --scheme %u");
    desktopFile("share-a/applications/pages.desktop", "pages %u");
    write("config/mimeapps.list",
          "[Default Applications]\n"
          "x-scheme-handler/http=vendor-web.desktop;\n"
          "text/html=pages.desktop\n");
    XdgRegistry registry(dirs);
    EXPECT_EQ(registry.commandFor(QStringLiteral("HTTP://x.example/")),
              QStringList({at("bin/web"), "--scheme", "HTTP://x.example/"}));
    EXPECT_EQ(registry.commandFor(QStringLiteral("www.example.org")),
              QStringList({at("bin/web"), "--scheme", "www.example.org"}));
    EXPECT_EQ(registry.commandFor(QStringLiteral("https://x.example/")),
              QStringList({at("bin/pages"), "https://x.example/"}));
    write("config/mimeapps.list", "[Default Applications]\n");
    EXPECT_TRUE(registry.commandFor(QStringLiteral("https://x.example/")).isEmpty());
}

TEST_F(XdgRegistryTest, AnIdOfManyDashesIsLookedUpAtOnce) {
    // Each dash may stand for a folder: 300 of them would be hundreds of
    // millions of paths to try if the folders that are not there were tried.
    program("bin/web");
    desktopFile("data-home/applications/a/b-c/web.desktop", "web %u");
    QByteArray dashes;
    for (int i = 0; i < 300; ++i) dashes += "x-";
    write("config/mimeapps.list",
          "[Default Applications]\ntext/html=" + dashes + "web.desktop;a-b-c-web.desktop\n");
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(XdgRegistry(dirs).defaultApplication(QStringLiteral("text/html")),
              at("data-home/applications/a/b-c/web.desktop"));
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(XdgRegistryTest, FoldersComeFromTheEnvironment) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/someone"));
    XdgDirs d = XdgDirs::fromEnvironment(env);
    EXPECT_EQ(d.dataHome, QStringLiteral("/home/someone/.local/share"));
    EXPECT_EQ(d.dataDirs, (QStringList{"/usr/local/share", "/usr/share"}));
    EXPECT_EQ(d.configHome, QStringLiteral("/home/someone/.config"));
    EXPECT_EQ(d.configDirs, QStringList{"/etc/xdg"});
    EXPECT_TRUE(d.desktops.isEmpty());

    env.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("relative/ignored"));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/a:rel:/b"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/c"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), QStringLiteral("/d"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("ubuntu:GNOME"));
    d = XdgDirs::fromEnvironment(env);
    EXPECT_EQ(d.dataHome, QStringLiteral("/home/someone/.local/share"));
    EXPECT_EQ(d.dataDirs, (QStringList{"/a", "/b"}));
    EXPECT_EQ(d.configHome, QStringLiteral("/c"));
    EXPECT_EQ(d.configDirs, QStringList{"/d"});
    EXPECT_EQ(d.desktops, (QStringList{"ubuntu", "gnome"}));
}

// The whole road on real files and a real process: the desktop's default
// browser, as the registry tells it, opens the page and gets the address as
// one argument.
TEST_F(XdgRegistryTest, TheDefaultBrowserReallyOpensThePage) {
    Recorder recorder;
    const QString browser = recorder.makeProgram(QStringLiteral("My Browser/browser"));
    desktopFile("data-home/applications/recorder.desktop",
                "\"" + QFile::encodeName(browser) + "\" --new-window %u");
    write("config/mimeapps.list",
          "[Default Applications]\n"
          "text/html=recorder.desktop\n"
          "x-scheme-handler/http=recorder.desktop\n");
    XdgEnvironment environment(dirs);  // the registry reads it as the program does
    XdgRegistry registry;
    PosixShell shell;

    WebPageOpener web(registry, shell);
    const QString page = QStringLiteral("https://obu-linekeeper.example/a?b=1&c=$(id);d`id`");
    web.setUrl(page);
    EXPECT_TRUE(web.open());
    auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--new-window", page}));

    // The http handler's command for an address with a blank.
    EXPECT_EQ(shell.start(registry.commandFor(QStringLiteral("http://example.org/x y"))),
              Shell::Outcome::Started);
    run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--new-window", "http://example.org/x y"}));

    // A Flatpak launcher's Exec line: the page goes where its field code stands
    // and every other argument is kept.
    desktopFile("data-home/applications/flatpak.desktop",
                "\"" + QFile::encodeName(browser) +
                    "\" run --branch=stable --command=firefox org.mozilla.firefox @@u %u @@");
    write("config/mimeapps.list", "[Default Applications]\ntext/html=flatpak.desktop\n");
    XdgRegistry flatpakRegistry;
    WebPageOpener flatpak(flatpakRegistry, shell);
    flatpak.setUrl(page);
    EXPECT_TRUE(flatpak.open());
    run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"run", "--branch=stable", "--command=firefox",
                                           "org.mozilla.firefox", "@@u", page, "@@"}));

    EXPECT_FALSE(recorder.anyNewRun());
}

// Documents and addresses opened for real through the desktop's own opener
// (xdg-open), which starts the default application of our XDG tree.
TEST_F(XdgRegistryTest, XdgOpenHandsDocumentsAndAddressesToTheirApplications) {
    if (PosixShell::findProgram(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "xdg-open is not installed (package xdg-utils)";
    Recorder recorder;
    const QString viewer = recorder.makeProgram(QStringLiteral("bin/viewer"));
    desktopFile("data-home/applications/viewer.desktop", QFile::encodeName(viewer) + " --view %f");
    write("config/mimeapps.list",
          "[Default Applications]\n"
          "text/plain=viewer.desktop\n"
          "x-scheme-handler/https=viewer.desktop\n");
    const QString document =
        recorder.folder() + QStringLiteral("/notes; touch pwned $(touch pwned) `id`.txt");
    QFile file(document);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("plain text\n");
    file.close();

    XdgEnvironment environment(dirs);

    PosixShell shell;
    EXPECT_EQ(shell.open(document), Shell::Outcome::Started);
    auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--view", document}));

    const QString page = QStringLiteral("https://obu-linekeeper.example/a b?c=$(id);d`id`");
    EXPECT_EQ(shell.open(page), Shell::Outcome::Started);
    run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--view", page}));

    EXPECT_FALSE(QFile::exists(recorder.folder() + QStringLiteral("/pwned")));
    EXPECT_FALSE(recorder.anyNewRun());
}

}  // namespace
