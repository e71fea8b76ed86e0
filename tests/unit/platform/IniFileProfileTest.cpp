#include "platform/IniFileProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempFolder.h"

namespace {

using namespace std::string_literals;
using obu::IniFileProfile;
using obu::test::TempFolder;

struct stat statOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs `body` in a child process and returns its exit code (-1 when it did
// not exit normally). With `unprivileged`, a child running as root first
// becomes "nobody", so that file permissions apply to it as to a user.
int inChild(const std::function<int()>& body, bool unprivileged) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (unprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(IniFileProfile, MissingFileOrFolderReadsAsDefault) {
    TempFolder folder;
    IniFileProfile profile;
    EXPECT_EQ(profile.readString(folder.file("obu.ini"), "S", "k", "dflt"), "dflt");
    EXPECT_EQ(profile.readString(folder.file("no/such/obu.ini"), "S", "k", ""), "");
    // A folder in the file's place is not a file.
    ASSERT_TRUE(QDir(folder.path()).mkdir("dir.ini"));
    EXPECT_EQ(profile.readString(folder.file("dir.ini"), "S", "k", "dflt"), "dflt");
    EXPECT_FALSE(profile.writeString(folder.file("dir.ini"), "S", "k", "v"));
    EXPECT_FALSE(profile.writeString(folder.file("no/such/obu.ini"), "S", "k", "v"));
    EXPECT_FALSE(profile.writeString(folder.file("obu.ini"), "S", ";comment", "v"));
    EXPECT_EQ(entries(folder.path()), QStringList{"dir.ini"});
}

TEST(IniFileProfile, ValuesAndDefaultsAreCutTo1023Bytes) {
    TempFolder folder;
    IniFileProfile profile;
    const QString path = folder.file("obu.ini");
    const QByteArray longValue = QByteArray(1000, 'a') + QByteArray(500, 'b');
    ASSERT_TRUE(profile.writeString(path, "S", "long", longValue));
    ASSERT_TRUE(profile.writeString(path, "S", "exact", QByteArray(1023, 'x')));
    EXPECT_TRUE(folder.read("obu.ini").contains(longValue));  // the file keeps it whole
    EXPECT_EQ(profile.readString(path, "S", "long", ""), longValue.left(1023));
    EXPECT_EQ(profile.readString(path, "S", "exact", ""), QByteArray(1023, 'x'));
    EXPECT_EQ(profile.readString(path, "S", "none", QByteArray(2000, 'd')), QByteArray(1023, 'd'));
}

TEST(IniFileProfile, WritesKeepEveryOtherByteOfARealFile) {
    TempFolder folder;
    IniFileProfile profile;
    const QString path = folder.file("obu.ini");
    const QByteArray before = QByteArray::fromStdString(
        "text before\r\n"
        "; comment\n"
        "[Net]\r"
        "  USER = \"old\"  \n"
        "odd\x80\xFF\0bytes\r\n"
        "[Unknown]\n"
        "x=1"s);
    folder.write("obu.ini", before);

    EXPECT_EQ(profile.readString(path, "NET", "user", ""), "old");
    ASSERT_TRUE(profile.writeString(path, "net", "User", " new "));
    ASSERT_TRUE(profile.writeString(path, "Net", "Pass", "p"));
    ASSERT_TRUE(profile.writeString(path, "Alarm", "Time", "21:05"));

    const QByteArray expected = QByteArray::fromStdString(
        "text before\r\n"
        "; comment\n"
        "[Net]\r"
        "  USER = \" new \"\n"
        "Pass=p\r\n"
        "odd\x80\xFF\0bytes\r\n"
        "[Unknown]\n"
        "x=1\r\n"
        "[Alarm]\r\n"
        "Time=21:05\r\n"s);
    EXPECT_EQ(folder.read("obu.ini"), expected);
    EXPECT_EQ(profile.readString(path, "Net", "User", ""), " new ");
    EXPECT_EQ(profile.readString(path, "UNKNOWN", "X", ""), "1");
    EXPECT_EQ(entries(folder.path()), QStringList{"obu.ini"});
}

TEST(IniFileProfile, TheFileAndItsTemporaryFilesAreAlwaysPrivate) {
    TempFolder folder;
    IniFileProfile profile;
    const QString path = folder.file("obu.ini");
    const QByteArray file = QFile::encodeName(path);
    ASSERT_TRUE(profile.writeString(path, "Net", "Password", "secret"));
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nPassword=secret\r\n");
    EXPECT_EQ(statOf(path).st_mode & 07777, 0600u);

    // A mode widened by hand does not survive a write, changed or not.
    ASSERT_EQ(::chmod(file.constData(), 0644), 0);
    const ino_t oldInode = statOf(path).st_ino;
    ASSERT_TRUE(profile.writeString(path, "Net", "Password", "other"));
    const struct stat after = statOf(path);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_NE(after.st_ino, oldInode);  // replaced by a new file, not rewritten in place
    ASSERT_EQ(::chmod(file.constData(), 0666), 0);
    ASSERT_TRUE(profile.writeString(path, "Net", "Password", "other"));
    EXPECT_EQ(statOf(path).st_mode & 07777, 0600u);
    EXPECT_EQ(entries(folder.path()), QStringList{"obu.ini"});

    // A writer killed in the middle of its write (the file size limit's
    // signal) leaves its temporary file: private too, even with no umask.
    ASSERT_EQ(::chmod(file.constData(), 0644), 0);
    const int code = inChild(
        [&] {
            ::umask(0);
            const struct rlimit noCore = {0, 0};
            const struct rlimit limit = {100, 100};
            if (::setrlimit(RLIMIT_CORE, &noCore) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 10;
            IniFileProfile writer;
            writer.writeString(path, "Net", "Password", QByteArray(300, 'p'));
            return 1;
        },
        false);
    EXPECT_EQ(code, -1) << "the writer was not stopped by the size limit";
    const QStringList left = entries(folder.path());
    ASSERT_EQ(left.size(), 2) << left.join(' ').toStdString();
    EXPECT_EQ(statOf(folder.file(left[0])).st_mode & 07777, 0600u);
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nPassword=other\r\n");
}

TEST(IniFileProfile, TheFirstUseRemovesTemporaryFilesThatTheirWritersLeft) {
    TempFolder folder;
    folder.write("obu.ini", "[Net]\r\nUser=old\r\n");
    // A pid that no process holds any more.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const QString goneText = QString::number(gone);
    const QString living = QString::number(::getpid());

    const QStringList leftovers = {".obu.ini.tmp-" + goneText + "-0-000012345",
                                   ".obu.ini.tmp-" + goneText + "-17-999999999",
                                   // a living pid, but far too old to be a write under way
                                   ".obu.ini.tmp-" + living + "-3-000000001"};
    const QStringList kept = {
        ".obu.ini.tmp-" + living + "-4-000000002",  // may be under way
        ".obu.ini.tmp-" + goneText + "-x-1",        // not one of ours
        ".obu.ini.tmp-" + goneText + "-1",          ".log.txt.tmp-" + goneText + "-0-000000001",
        "obu.ini.tmp-" + goneText + "-0-000000001", "notes.txt"};
    for (const QString& name : leftovers + kept) folder.write(name, "[Net]\r\nUser=half");
    const struct timespec old[2] = {{989884800, 0}, {989884800, 0}};
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, QFile::encodeName(folder.file(leftovers[2])).constData(), old, 0), 0);
    ASSERT_TRUE(QDir(folder.path()).mkdir(".obu.ini.tmp-" + goneText + "-1-000000001"));

    IniFileProfile profile;
    EXPECT_EQ(profile.readString(folder.file("obu.ini"), "Net", "User", ""), "old");
    QStringList expected = kept;
    expected << "obu.ini"
             << ".obu.ini.tmp-" + goneText + "-1-000000001";
    expected.sort();
    QStringList actual = entries(folder.path());
    actual.sort();
    EXPECT_EQ(actual, expected);
}

TEST(IniFileProfile, KeysWrittenTogetherReachTheFileInOneReplaceOrNotAtAll) {
    TempFolder together, oneByOne;
    const QByteArray start = "; mine\n[Net]\nUser=a\n";
    together.write("obu.ini", start);
    oneByOne.write("obu.ini", start);
    const std::vector<obu::Profile::Assignment> keys = {{"Net", "User", "b"},
                                                        {"Alarm", "Time", " 9:00 "},
                                                        {"net", "Pass", "p"},
                                                        {"Net", "USER", "c"}};
    IniFileProfile profile;
    const ino_t before = statOf(together.file("obu.ini")).st_ino;
    ASSERT_TRUE(profile.writeStrings(together.file("obu.ini"), keys));
    for (const auto& k : keys)
        ASSERT_TRUE(profile.writeString(oneByOne.file("obu.ini"), k.section, k.key, k.value));
    EXPECT_EQ(together.read("obu.ini"), oneByOne.read("obu.ini"));
    EXPECT_NE(statOf(together.file("obu.ini")).st_ino, before);
    EXPECT_EQ(entries(together.path()), QStringList{"obu.ini"});

    // One key that could never be read back refuses the whole set.
    const QByteArray written = together.read("obu.ini");
    EXPECT_FALSE(
        profile.writeStrings(together.file("obu.ini"), {{"Net", "User", "d"}, {"Net", "[x", "1"}}));
    EXPECT_EQ(together.read("obu.ini"), written);
}

TEST(IniFileProfile, AFileChangedByAnotherProgramIsReadAfresh) {
    TempFolder folder;
    const QString path = folder.file("obu.ini");
    folder.write("obu.ini", "[Net]\r\nUser=aaa\r\n");
    // Old enough to be kept in memory rather than read at every key.
    ::usleep(150000);
    IniFileProfile profile;
    ASSERT_EQ(profile.readString(path, "Net", "User", ""), "aaa");
    // Rewritten in place with as many bytes, then replaced by another file.
    folder.write("obu.ini", "[Net]\r\nUser=bbb\r\n");
    EXPECT_EQ(profile.readString(path, "Net", "User", ""), "bbb");
    folder.write("new.ini", "[Net]\r\nUser=ccc\r\n");
    ASSERT_EQ(::rename(QFile::encodeName(folder.file("new.ini")).constData(),
                       QFile::encodeName(path).constData()),
              0);
    EXPECT_EQ(profile.readString(path, "Net", "User", ""), "ccc");
    ASSERT_TRUE(profile.writeString(path, "Net", "Pass", "p"));
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nUser=ccc\r\nPass=p\r\n");
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(profile.readString(path, "Net", "User", "gone"), "gone");
}

TEST(IniFileProfile, WritingTheSameValueLeavesTheFileAlone) {
    TempFolder folder;
    IniFileProfile profile;
    const QString path = folder.file("obu.ini");
    folder.write("obu.ini", "[Net]\nuser = \"bob\" \n");
    // An old time stamp, so that any rewrite would show.
    const struct timespec old[2] = {{989884800, 0}, {989884800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0), 0);
    const struct stat before = statOf(path);

    EXPECT_TRUE(profile.writeString(path, "NET", "User", "bob"));
    EXPECT_TRUE(profile.writeString(path, "Net", "user", "bob"));

    const struct stat after = statOf(path);
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\nuser = \"bob\" \n");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(IniFileProfile, ReadOnlyFolderFailsAndKeepsTheOldFile) {
    TempFolder folder;
    const QString path = folder.file("obu.ini");
    folder.write("obu.ini", "[Net]\r\nUser=old\r\n");
    const QByteArray dir = QFile::encodeName(folder.path());
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_EQ(::chmod(dir.constData(), 0555), 0);

    const int code = inChild(
        [&] {
            IniFileProfile profile;
            if (profile.readString(path, "Net", "User", "") != "old") return 1;
            if (profile.writeString(path, "Net", "User", "new")) return 2;
            if (profile.writeString(path, "Other", "k", "v")) return 3;
            if (profile.writeString(path, "Net", "User", "old") != true) return 4;  // unchanged
            return 0;
        },
        true);
    ASSERT_EQ(::chmod(dir.constData(), 0700), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nUser=old\r\n");
    EXPECT_EQ(entries(folder.path()), QStringList{"obu.ini"});
}

TEST(IniFileProfile, FileThatCannotBeReadIsNeverOverwritten) {
    TempFolder folder;
    IniFileProfile profile;
    const QString path = folder.file("obu.ini");

    // Over the size limit: reads as empty, and a write must not replace it
    // with a single key.
    QByteArray huge = "[Net]\r\nUser=bob\r\n;";
    huge.append(QByteArray(IniFileProfile::kMaxFileSize + 1 - huge.size(), 'x'));
    folder.write("obu.ini", huge);
    ASSERT_EQ(statOf(path).st_size, IniFileProfile::kMaxFileSize + 1);
    EXPECT_EQ(profile.readString(path, "Net", "User", "dflt"), "dflt");
    EXPECT_FALSE(profile.writeString(path, "Net", "User", "new"));
    EXPECT_EQ(statOf(path).st_size, IniFileProfile::kMaxFileSize + 1);

    // No read permission.
    folder.write("obu.ini", "[Net]\r\nUser=bob\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0200), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0777), 0);
    const int code = inChild(
        [&] {
            IniFileProfile p;
            if (p.readString(path, "Net", "User", "dflt") != "dflt") return 1;
            return p.writeString(path, "Net", "Pass", "x") ? 2 : 0;
        },
        true);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0700), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nUser=bob\r\n");
    EXPECT_EQ(entries(folder.path()), QStringList{"obu.ini"});
}

TEST(IniFileProfile, FailedWriteRemovesItsTemporaryFile) {
    TempFolder folder;
    const QString path = folder.file("obu.ini");
    folder.write("obu.ini", "[Net]\r\nUser=old\r\n");
    // A file size limit makes the write of the new text stop half way (a
    // short write, then an error), as a full disk would.
    const int code = inChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {100, 100};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
            IniFileProfile profile;
            if (profile.writeString(path, "Net", "User", QByteArray(300, 'n'))) return 1;
            if (!profile.writeString(path, "Net", "User", "short")) return 2;
            return 0;
        },
        false);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folder.read("obu.ini"), "[Net]\r\nUser=short\r\n");
    EXPECT_EQ(entries(folder.path()), QStringList{"obu.ini"});
}

TEST(IniFileProfile, SymbolicLinkStaysALink) {
    TempFolder folder;
    IniFileProfile profile;
    ASSERT_TRUE(QDir(folder.path()).mkdir("real"));
    folder.write("real/obu.ini", "[Net]\r\nUser=old\r\n");
    ASSERT_EQ(::symlink("real/obu.ini", QFile::encodeName(folder.file("obu.ini")).constData()), 0);

    ASSERT_TRUE(profile.writeString(folder.file("obu.ini"), "Net", "User", "new"));
    EXPECT_TRUE(S_ISLNK(statOf(folder.file("obu.ini")).st_mode));
    EXPECT_EQ(folder.read("real/obu.ini"), "[Net]\r\nUser=new\r\n");
    EXPECT_EQ(entries(folder.path()), (QStringList{"obu.ini", "real"}));
    EXPECT_EQ(entries(folder.file("real")), QStringList{"obu.ini"});

    ASSERT_EQ(
        ::symlink("nowhere/obu.ini", QFile::encodeName(folder.file("dangling.ini")).constData()),
        0);
    EXPECT_FALSE(profile.writeString(folder.file("dangling.ini"), "Net", "User", "x"));
}

}  // namespace
