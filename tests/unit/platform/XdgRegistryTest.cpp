// The registry's web page types and browser commands read from a real XDG
// tree in a temporary folder: globs, mimeapps.list files, desktop files.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "model/WebPageOpener.h"
#include "platform/CommandLine.h"
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
        for (const char* name : kNames) saved_.append(qgetenv(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(d.dataHome));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(d.dataDirs.join(u':')));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(d.configHome));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(d.configDirs.join(u':')));
        qunsetenv("XDG_CURRENT_DESKTOP");
        if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("DISPLAY", ":0");
    }
    ~XdgEnvironment() {
        for (int i = 0; i < 6; ++i) {
            if (saved_[i].isNull())
                qunsetenv(kNames[i]);
            else
                qputenv(kNames[i], saved_[i]);
        }
    }
    XdgEnvironment(const XdgEnvironment&) = delete;
    XdgEnvironment& operator=(const XdgEnvironment&) = delete;

private:
    static constexpr const char* kNames[6] = {"XDG_DATA_HOME",       "XDG_DATA_DIRS",
                                              "XDG_CONFIG_HOME",     "XDG_CONFIG_DIRS",
                                              "XDG_CURRENT_DESKTOP", "DISPLAY"};
    QList<QByteArray> saved_;
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
        write("share-b/mime/globs2",
              "# comment\n"
              "80:text/html:*.html\n"
              "80:text/html:*.htm\n"
              "50:application/xhtml+xml:*.html\n"
              "50:application/xhtml+xml:*.htm\n"
              "50:text/x-csrc:*.c\n"
              "50:text/x-c++src:*.C:cs\n");
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

    QString command(const XdgRegistry& registry, const char* key) const {
        return registry.defaultValue(QString::fromUtf8(key)).value_or(QStringLiteral("<none>"));
    }

    QTemporaryDir root;
    XdgDirs dirs;
};

TEST_F(XdgRegistryTest, ExtensionsNameTheirMimeType) {
    XdgRegistry registry(dirs);
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".HTM")), QStringLiteral("text/html"));
    EXPECT_EQ(registry.defaultValue(QStringLiteral("\\.Html")), QStringLiteral("text/html"));
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".c")), QStringLiteral("text/x-csrc"));
    EXPECT_FALSE(registry.keyExists(QStringLiteral(".qqq")));
    EXPECT_FALSE(registry.defaultValue(QStringLiteral(".qqq")));
    // Server-parsed pages are HTML even though the database has no pattern for them.
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".SHTML")), QStringLiteral("text/html"));
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".shtm")), QStringLiteral("text/html"));

    // A more important folder wins a tie of weights; a heavier pattern wins anyway.
    write("data-home/mime/globs2",
          "50:text/x-server-parsed-html:*.shtml\n"
          "50:application/xhtml+xml:*.htm\n");
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".SHTML")),
              QStringLiteral("text/x-server-parsed-html"));
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".htm")), QStringLiteral("text/html"));
    // The old globs file serves a folder without globs2.
    write("share-a/mime/globs", "text/x-demo:*.qqq\n");
    EXPECT_EQ(registry.defaultValue(QStringLiteral(".QQQ")), QStringLiteral("text/x-demo"));
}

TEST_F(XdgRegistryTest, ExecLinesBecomeWindowsCommandLines) {
    const QString spaced = program("opt/My Browser/browser");
    const QString plain = program("bin/browser");

    const std::pair<QString, QString> cases[] = {
        {u'"' + spaced + QStringLiteral("\" --new-window %u"),
         u'"' + spaced + QStringLiteral("\" --new-window \"%1\"")},
        // The unescaped blank of a string value, %i %c %k dropped, a bare name found on PATH.
        {QStringLiteral("browser\\s--x %i %c %k %U"), plain + QStringLiteral(" --x \"%1\"")},
        {QStringLiteral("browser %F --class=%c"), plain + QStringLiteral(" \"%1\" --class=")},
        {QStringLiteral("browser --title=\"100%% sure\" %f"),
         plain + QStringLiteral(" \"--title=100% sure\" \"%1\"")},
        {QStringLiteral("browser --app=%u"), plain + QStringLiteral(" \"--app=%1\"")},
        // Escapes inside quotes: \" \` \$ and \\ (written \\\\ in the file).
        {QStringLiteral(R"(browser "say \"hi\" \$HOME \`x\` a\\\\b" "")"),
         plain + QStringLiteral(R"( "say \"hi\" $HOME `x` a\b" "")")},
        {QStringLiteral("/usr/bin/env A=1 browser %u"),
         QStringLiteral("/usr/bin/env A=1 browser \"%1\"")},
        // Nothing to run.
        {QStringLiteral("no-such-browser-anywhere %u"), QString()},
        {QStringLiteral("%u"), QString()},
        {QString(), QString()},
    };
    for (const auto& [exec, command] : cases)
        EXPECT_EQ(XdgRegistry::commandFromExec(exec, dirs.path), command) << exec.toStdString();
}

TEST_F(XdgRegistryTest, DefaultApplicationFollowsTheOrderOfTheLists) {
    program("bin/browser");
    for (const char* name : {"one", "two", "three", "four", "five", "six", "seven"})
        desktopFile(QByteArray("share-b/applications/") + name + ".desktop",
                    QByteArray("browser --") + name + " %u");
    XdgRegistry registry(dirs);
    const QString key = QStringLiteral("text/html\\shell\\open\\command");
    auto opened = [&]() { return command(registry, "text/html\\shell\\open\\command"); };
    const QString b = at("bin/browser");

    EXPECT_EQ(opened(), QStringLiteral("<none>"));
    write("share-b/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=seven.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --seven \"%1\""));

    // Added associations come before the cache; removals in a more important
    // file take them away.
    write("etc-xdg/mimeapps.list", "[Added Associations]\ntext/html=six.desktop;five.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --six \"%1\""));
    write("config/mimeapps.list", "[Removed Associations]\ntext/html=six.desktop;\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --five \"%1\""));

    // Defaults beat associations in any file; the first installed one listed wins.
    write("share-a/applications/mimeapps.list",
          "[Default Applications]\ntext/html=missing.desktop;four.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --four \"%1\""));
    write("config/mimeapps.list", "[Default Applications]\ntext/html=three.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --three \"%1\""));
    // The desktop's own list comes first in its folder.
    write("config/gnome-mimeapps.list", "[Default Applications]\ntext/html=two.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --two \"%1\""));
    write("config/demo-mimeapps.list", "[Default Applications]\nText/HTML=one.desktop\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --one \"%1\""));

    // An application hidden in a more important folder is not installed;
    // nor is one whose TryExec or program is missing.
    write("data-home/applications/one.desktop", "[Desktop Entry]\nHidden=true\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --two \"%1\""));
    desktopFile("data-home/applications/two.desktop", "browser --two %u",
                "TryExec=/no/such/program\n");
    EXPECT_EQ(opened(), b + QStringLiteral(" --three \"%1\""));
    desktopFile("data-home/applications/three.desktop", "gone-browser %u");
    EXPECT_EQ(opened(), b + QStringLiteral(" --four \"%1\""));

    EXPECT_TRUE(registry.keyExists(QStringLiteral("text/html")));
    EXPECT_TRUE(registry.keyExists(QStringLiteral("text/html\\shell\\open")));
    EXPECT_FALSE(registry.defaultValue(QStringLiteral("text/html")));
    EXPECT_FALSE(registry.keyExists(QStringLiteral("text/html\\shell\\edit\\command")));
    EXPECT_FALSE(registry.keyExists(QStringLiteral(".htm\\shell\\open\\command")));
    EXPECT_EQ(registry.defaultApplication(QStringLiteral("text/html")),
              at("share-b/applications/four.desktop"));
    EXPECT_EQ(registry.defaultValue(key.toUpper()), opened());
}

TEST_F(XdgRegistryTest, UrlSchemesAndVendorFolders) {
    program("bin/web");
    desktopFile("share-a/applications/vendor/web.desktop", "web --scheme %u");
    write("config/mimeapps.list",
          "[Default Applications]\n"
          "x-scheme-handler/http=vendor-web.desktop;\n");
    XdgRegistry registry(dirs);
    EXPECT_EQ(command(registry, "\\HTTP\\shell\\open\\command"),
              at("bin/web") + QStringLiteral(" --scheme \"%1\""));
    EXPECT_TRUE(registry.keyExists(QStringLiteral("HTTP")));
    EXPECT_FALSE(registry.keyExists(QStringLiteral("HTTPS")));
    EXPECT_FALSE(registry.keyExists(QStringLiteral("htmlfile\\shell\\open\\command")));
}

TEST_F(XdgRegistryTest, LongValuesAreCut) {
    program("bin/browser");
    desktopFile("share-b/applications/long.desktop",
                "browser --profile=" + QByteArray(2000, 'p') + " %u");
    write("config/mimeapps.list", "[Default Applications]\ntext/html=long.desktop\n");
    XdgRegistry registry(dirs);
    const auto value = registry.defaultValue(QStringLiteral("text/html\\shell\\open\\command"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->size(), Registry::kMaxValueLength);
    EXPECT_TRUE(value->startsWith(at("bin/browser") + QStringLiteral(" --profile=ppp")));
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

    // The URL handler's command runs through startCommandLine once its placeholder holds the page.
    QString line =
        registry.defaultValue(QStringLiteral("HTTP\\shell\\open\\command")).value_or(QString());
    line.replace(QStringLiteral("%1"), QStringLiteral("http://example.org/x y"));
    EXPECT_GT(shell.startCommandLine(line, Shell::kShowNormal), 31u);
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
    EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), document, QString(), QString(), 5),
              32);
    auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--view", document}));

    const QString page = QStringLiteral("https://obu-linekeeper.example/a b?c=$(id);d`id`");
    EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), page, QString(), QString(), 5), 32);
    run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, (QStringList{"--view", page}));

    EXPECT_FALSE(QFile::exists(recorder.folder() + QStringLiteral("/pwned")));
    EXPECT_FALSE(recorder.anyNewRun());
}

}  // namespace
