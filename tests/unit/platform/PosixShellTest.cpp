// Starting real programs: every argument arrives whole and nothing is read by
// a command shell; started programs are detached; failures say what happened.
#include <gtest/gtest.h>

#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

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

TEST_F(PosixShellTest, StartHandsEveryHostileArgumentOverWhole) {
    const QStringList arguments = hostile();
    EXPECT_EQ(shell.start(QStringList{recorder.program()} + arguments), Shell::Outcome::Started);
    const auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, arguments);
    expectNothingElseRan();
}

TEST_F(PosixShellTest, StartFindsBareNamesOnPathOnly) {
    const QString tool = recorder.makeProgram(QStringLiteral("bin/obu-test-tool"));
    {
        PathGuard path(QFileInfo(tool).absolutePath());
        EXPECT_EQ(shell.start({"obu-test-tool", "one", "two three"}), Shell::Outcome::Started);
        const auto run = recorder.nextRun();
        ASSERT_TRUE(run);
        EXPECT_EQ(run->arguments, (QStringList{"one", "two three"}));
    }
    // A program lying in the working folder is not picked up by a bare name.
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QFileInfo(tool).absolutePath()));
    EXPECT_EQ(shell.start({"obu-test-tool"}), Shell::Outcome::NotFound);
    QDir::setCurrent(here);
    expectNothingElseRan();
}

TEST_F(PosixShellTest, FailuresSayWhatHappened) {
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

    using O = Shell::Outcome;
    const std::pair<QStringList, O> starts[] = {
        {{}, O::NotFound},
        {{"   "}, O::NotFound},
        {{dir + QStringLiteral("/missing"), "arg"}, O::NotFound},
        {{"no-such-program-of-obu", "--x"}, O::NotFound},
        // An address run as a program: there is no folder "http:".
        {{"http://example.org/"}, O::FolderNotFound},
        {{dir + QStringLiteral("/no/such/folder/prog")}, O::FolderNotFound},
        {{plain}, O::NotAllowed},
        {{dir}, O::NotAllowed},
        {{noShebang}, O::NotAProgram},
        {{badInterpreter}, O::NotAProgram},
    };
    for (const auto& [command, outcome] : starts)
        EXPECT_EQ(shell.start(command), outcome) << command.join(u' ').toStdString();

    const std::pair<QString, O> opens[] = {
        {{}, O::NotFound},
        {dir + QStringLiteral("/missing.odt"), O::NotFound},
        {dir + QStringLiteral("/no/folder/app"), O::FolderNotFound},
    };
    for (const auto& [target, outcome] : opens)
        EXPECT_EQ(shell.open(target), outcome) << target.toStdString();
    {
        // Nothing to open documents with.
        QTemporaryDir empty;
        PathGuard path(empty.path(), true);
        EXPECT_EQ(shell.open(plain), O::NoApplication);
    }
    expectNothingElseRan();
}

TEST_F(PosixShellTest, StartedProgramsAreDetachedAndGetNothingOfOurs) {
    // A descriptor left open without close-on-exec, as a careless library might.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ASSERT_EQ(::dup2(leaked, 77), 77);
    ::close(leaked);

    recorder.hold(true);
    EXPECT_EQ(shell.start({recorder.program()}), Shell::Outcome::Started);
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

TEST_F(PosixShellTest, OpenStartsAnExecutableWithoutArguments) {
    // The whole path is the program even with blanks.
    const QString spaced = recorder.makeProgram(QStringLiteral("Program Files/my tool"));
    EXPECT_EQ(shell.open(spaced), Shell::Outcome::Started);
    auto run = recorder.nextRun();
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->arguments.isEmpty());
    EXPECT_EQ(run->workingFolder, QDir::currentPath());

    // A bare name on PATH.
    {
        PathGuard path(QFileInfo(spaced).absolutePath());
        EXPECT_EQ(shell.open(QStringLiteral("my tool")), Shell::Outcome::Started);
        run = recorder.nextRun();
        ASSERT_TRUE(run);
        EXPECT_TRUE(run->arguments.isEmpty());
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

    EXPECT_EQ(shell.open(doc.fileName()), Shell::Outcome::Started);
    auto run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{doc.fileName()});

    // A relative name reaches the opener as a full path, never as an option.
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(docs));
    EXPECT_EQ(shell.open(QStringLiteral("-n")), Shell::Outcome::Started);
    QDir::setCurrent(here);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{docs + QStringLiteral("/-n")});

    EXPECT_EQ(shell.open(docs), Shell::Outcome::Started);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{docs});

    const QString url = QStringLiteral("https://example.org/a b?c=$(touch ") + pwned() +
                        QStringLiteral(")&d=`id`;e");
    EXPECT_EQ(shell.open(url), Shell::Outcome::Started);
    run = opener.nextRun();
    ASSERT_TRUE(run);
    EXPECT_EQ(run->arguments, QStringList{url});

    EXPECT_FALSE(opener.anyNewRun());
    EXPECT_FALSE(QFile::exists(docs + QStringLiteral("/pwned")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
    expectNothingElseRan();
}

}  // namespace
