// Starting real programs: every argument arrives whole and nothing is read by
// a command shell; started programs are detached; failures have their codes.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include "platform/CommandLine.h"
#include "platform/PosixShell.h"
#include "tests/unit/platform/Recorder.h"

using namespace obu;
using obu::test::PathGuard;
using obu::test::Recorder;

namespace {

class PosixShellTest : public ::testing::Test {
protected:
    QString pwned() const { return recorder.folder() + QStringLiteral("/pwned"); }

    // Names and addresses that a shell would act on, and one of 300 characters.
    QStringList hostile() const {
        const QString p = pwned();
        return {QStringLiteral("it's \"quoted\" twice"),
                QStringLiteral("a; touch ") + p,
                QStringLiteral("$(touch ") + p + u')',
                QStringLiteral("`touch ") + p + u'`',
                QStringLiteral("x && touch ") + p,
                QStringLiteral("| touch ") + p,
                QStringLiteral("> ") + p,
                QStringLiteral("*"),
                QStringLiteral("~"),
                QStringLiteral("$HOME"),
                QStringLiteral("ends with backslash\\"),
                QStringLiteral("\\\"escaped\\\""),
                QStringLiteral("tab\tand\nnew line"),
                QString(),
                QStringLiteral("Ünïcödé ✓"),
                QStringLiteral("https://example.org/?q=\"x y\"&r=$(id);") + QString(300, u'w')};
    }

    void expectNothingElseRan() const {
        EXPECT_FALSE(QFile::exists(pwned())) << "a shell interpreted an argument";
        EXPECT_FALSE(recorder.anyNewRun()) << "a second program ran";
    }

    Recorder recorder;
    PosixShell shell;
};

TEST_F(PosixShellTest, CommandLineHandsEveryHostileArgumentOverWhole) {
    const QStringList arguments = hostile();
    const QString line = CommandLine::quoteProgram(recorder.program()) + u' ' +
                         CommandLine::joinArguments(arguments);
    EXPECT_GT(shell.startCommandLine(line, Shell::kShowNormal), 31u);
    const auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, arguments);
    expectNothingElseRan();
}

TEST_F(PosixShellTest, CommandLineOfBrowserTextAndUnquotedAddress) {
    // How the extras open a page: the browser's text, a blank, the address as typed.
    const QString browser = recorder.makeProgram(QStringLiteral("My Browser/run"));
    const QString url = QStringLiteral("http://example.org/?a=1;touch${IFS}") + pwned() +
                        QStringLiteral("&b=$(touch%20x)|`id`");
    EXPECT_GT(
        shell.startCommandLine(u'"' + browser + QStringLiteral("\"  ") + url, Shell::kShowNormal),
        31u);
    const auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{url});
    expectNothingElseRan();
}

TEST_F(PosixShellTest, CommandLineFindsBareNamesOnPathOnly) {
    const QString tool = recorder.makeProgram(QStringLiteral("bin/obu-test-tool"));
    {
        PathGuard path(QFileInfo(tool).absolutePath());
        EXPECT_GT(shell.startCommandLine(QStringLiteral("obu-test-tool one \"two three\""), 1),
                  31u);
        const auto run = recorder.nextRun();
        ASSERT_TRUE(run);
        EXPECT_EQ(run->arguments, (QStringList{"one", "two three"}));
    }
    // A program lying in the working folder is not picked up by a bare name.
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QFileInfo(tool).absolutePath()));
    EXPECT_EQ(shell.startCommandLine(QStringLiteral("obu-test-tool"), 1), 2u);
    QDir::setCurrent(here);
    expectNothingElseRan();
}

TEST_F(PosixShellTest, CommandLineFailuresHaveTheirCodes) {
    const QString dir = recorder.folder();
    const auto file = [&](const char* name, const QByteArray& bytes, bool executable) {
        QFile f(dir + u'/' + QLatin1String(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        if (executable) f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        return f.fileName();
    };
    const QString plain = file("notes.txt", "just text\n", false);
    const QString noShebang = file("garbage", QByteArray("\x7f\x01\x02\x03 not a program"), true);
    const QString badInterpreter = file("orphan", "#!/nonexistent/interpreter\n", true);

    const std::pair<QString, unsigned> cases[] = {
        {QString(), 2u},
        {QStringLiteral("   "), 2u},
        {dir + QStringLiteral("/missing arg"), 2u},
        {QStringLiteral("no-such-program-of-obu --x"), 2u},
        // An address run as a program: there is no folder "http:".
        {QStringLiteral(" http://example.org/"), 3u},
        {dir + QStringLiteral("/no/such/folder/prog"), 3u},
        {QStringLiteral("\"C:\\Program Files\\browser.exe\" -nohome"), 2u},
        {plain, 5u},
        {dir, 5u},
        {noShebang, 11u},
        {badInterpreter, 11u},
    };
    for (const auto& [line, code] : cases)
        EXPECT_EQ(shell.startCommandLine(line, 1), code) << line.toStdString();
    expectNothingElseRan();
}

TEST_F(PosixShellTest, StartedProgramsAreDetachedAndGetNothingOfOurs) {
    // A descriptor left open without close-on-exec, as a careless library might.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ASSERT_EQ(::dup2(leaked, 77), 77);
    ::close(leaked);

    recorder.hold(true);
    EXPECT_GT(shell.startCommandLine(CommandLine::quoteProgram(recorder.program()), 1), 31u);
    const auto run = recorder.nextRun();
    ::close(77);
    ASSERT_TRUE(run);

    // Still running, yet neither our child nor in our session; and we have no
    // child left to reap.
    EXPECT_EQ(::kill(static_cast<pid_t>(run->pid), 0), 0);
    EXPECT_EQ(::waitpid(static_cast<pid_t>(run->pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    QFile status(QStringLiteral("/proc/%1/status").arg(run->pid));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(status.readAll());
    EXPECT_FALSE(text.contains(QStringLiteral("\nPPid:\t%1\n").arg(::getpid())));
    EXPECT_EQ(::getsid(static_cast<pid_t>(run->pid)), run->pid);
    EXPECT_NE(::getsid(static_cast<pid_t>(run->pid)), ::getsid(0));

    EXPECT_FALSE(run->openFiles.contains(QStringLiteral("77")))
        << run->openFiles.join(u' ').toStdString();
    EXPECT_EQ(run->input, QStringLiteral("/dev/null"));
    recorder.hold(false);
}

TEST_F(PosixShellTest, OpenStartsAnExecutableWithItsParameters) {
    const QString work = recorder.folder() + QStringLiteral("/work folder");
    ASSERT_TRUE(QDir().mkpath(work));
    const QStringList arguments = hostile();

    EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), recorder.program(),
                                          CommandLine::joinArguments(arguments), work,
                                          Shell::kShowAsItIs),
              32);
    auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, arguments);
    EXPECT_EQ(run->workingFolder, work);

    // The whole path is the program even with blanks; no parameters, no arguments.
    const QString spaced = recorder.makeProgram(QStringLiteral("Program Files/my tool"));
    EXPECT_GT(shell.openWithDefaultAction(nullptr, QStringLiteral("open"), spaced, QString(),
                                          QString(), Shell::kShowAsItIs),
              32);
    run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->arguments.isEmpty());
    EXPECT_EQ(run->workingFolder, QDir::currentPath());

    // A bare name on PATH.
    {
        PathGuard path(QFileInfo(spaced).absolutePath());
        EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), QStringLiteral("my tool"),
                                              QStringLiteral("-a \"b c\""), QString(),
                                              Shell::kShowAsItIs),
                  32);
        run = recorder.nextRun();
        ASSERT_TRUE(run);
        EXPECT_EQ(run->arguments, (QStringList{"-a", "b c"}));
    }
    expectNothingElseRan();
}

TEST_F(PosixShellTest, OpenOpensDocumentsFoldersAndAddressesWithXdgOpen) {
    Recorder opener;  // stands for xdg-open, and writes down what it was given
    opener.makeProgram(QStringLiteral("bin/xdg-open"));
    PathGuard path(opener.folder() + QStringLiteral("/bin"));

    const QString docs = recorder.folder() + QStringLiteral("/docs");
    QDir().mkpath(docs);
    const QString name = QStringLiteral("report; touch pwned $(touch pwned) `id` && x.txt");
    QFile doc(docs + u'/' + name);
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    QFile dash(docs + QStringLiteral("/-n"));
    ASSERT_TRUE(dash.open(QIODevice::WriteOnly));
    dash.close();

    EXPECT_GT(
        shell.openWithDefaultAction(nullptr, QString(), doc.fileName(), QStringLiteral("--ignored"),
                                    QString(), Shell::kShowAsItIs),
        32);
    auto run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{doc.fileName()});

    // A relative name reaches the opener as a full path, never as an option.
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(docs));
    EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), QStringLiteral("-n"), QString(),
                                          QString(), 5),
              32);
    QDir::setCurrent(here);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{docs + QStringLiteral("/-n")});

    EXPECT_GT(shell.openWithDefaultAction(nullptr, QStringLiteral("explore"), docs, QString(),
                                          QString(), 5),
              32);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{docs});

    const QString url = QStringLiteral("https://example.org/a b?c=$(touch ") + pwned() +
                        QStringLiteral(")&d=`id`;e");
    EXPECT_GT(shell.openWithDefaultAction(nullptr, QString(), url, QString(), QString(), 5), 32);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{url});

    EXPECT_FALSE(opener.anyNewRun());
    EXPECT_FALSE(QFile::exists(docs + QStringLiteral("/pwned")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
    expectNothingElseRan();
}

TEST_F(PosixShellTest, OpenFailuresHaveTheirCodes) {
    const QString dir = recorder.folder();
    QFile doc(dir + QStringLiteral("/letter.odt"));
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();

    const struct {
        const char* verb;
        QString file, folder;
        int code;
    } cases[] = {
        {"", dir + QStringLiteral("/missing.exe"), {}, 2},
        {"", QStringLiteral("C:\\Programs\\app.exe"), {}, 2},
        {"", {}, {}, 2},
        {"", dir + QStringLiteral("/no/folder/app"), {}, 3},
        {"", recorder.program(), dir + QStringLiteral("/no such folder"), 3},
        {"print", doc.fileName(), {}, 31},
        {"explore", doc.fileName(), {}, 31},
    };
    const auto open = [&](const char* verb, const QString& file, const QString& folder) {
        return shell.openWithDefaultAction(nullptr, QString::fromLatin1(verb), file, QString(),
                                           folder, 5);
    };
    for (const auto& c : cases)
        EXPECT_EQ(open(c.verb, c.file, c.folder), c.code) << c.verb << ' ' << c.file.toStdString();
    {
        // Nothing to open documents with.
        QTemporaryDir empty;
        PathGuard path(empty.path(), true);
        EXPECT_EQ(open("", doc.fileName(), {}), 31);
    }
    expectNothingElseRan();
}

}  // namespace
