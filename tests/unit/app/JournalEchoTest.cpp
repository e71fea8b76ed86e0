#include "app/JournalEcho.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryFile>
#include <cstdio>

namespace obu {
namespace {

TEST(JournalEcho, LinesLoseTheirTimeStampAndCarryTheirPriority) {
    EXPECT_EQ(journalLine("[12/8/2026 8:01:02 AM]: OBU Launched"), "<6>OBU Launched");
    EXPECT_EQ(journalLine("[12/8/2026 8:01:02 AM]: Dial failed (error 678): no answer"),
              "<3>Dial failed (error 678): no answer");
    EXPECT_EQ(journalLine("[d]: Reconnect failed (error 691)"), "<3>Reconnect failed (error 691)");
    EXPECT_EQ(journalLine("[d]: Connection ended (error 718)"), "<3>Connection ended (error 718)");
    EXPECT_EQ(journalLine("[d]: The line is up but no traffic passes: no answer from host:80"),
              "<3>The line is up but no traffic passes: no answer from host:80");
    EXPECT_EQ(journalLine("[d]: No dial tone found"), "<3>No dial tone found");
    // Only at the start: a name that holds the words is no failure.
    EXPECT_EQ(journalLine("[d]: Connection established to Dial failed ISP"),
              "<6>Connection established to Dial failed ISP");
    // A message that holds "]: " itself keeps it.
    EXPECT_EQ(journalLine("[d]: Launching [x]: y"), "<6>Launching [x]: y");
    EXPECT_EQ(journalLine("no stamp"), "<6>no stamp");
}

// Standard output pointed at a file of the test, JOURNAL_STREAM at it or not.
class JournalStream : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(file.open());
        std::fflush(stdout);
        savedStdout = ::dup(1);
        ASSERT_GE(::dup2(file.handle(), 1), 0);
        ASSERT_EQ(::fstat(1, &st), 0);
    }
    void TearDown() override {
        std::fflush(stdout);
        ::dup2(savedStdout, 1);
        ::close(savedStdout);
        qunsetenv("JOURNAL_STREAM");
    }
    QByteArray streamOf(qulonglong device, qulonglong inode) {
        return QByteArray::number(device) + ':' + QByteArray::number(inode);
    }
    QTemporaryFile file;
    int savedStdout = -1;
    struct stat st {};
};

TEST_F(JournalStream, OnlyTheVeryStdoutNamedCounts) {
    qunsetenv("JOURNAL_STREAM");
    EXPECT_FALSE(standardOutputIsJournal());
    qputenv("JOURNAL_STREAM", streamOf(st.st_dev, st.st_ino));
    EXPECT_TRUE(standardOutputIsJournal());
    // Inherited from a unit, but stdout was redirected since.
    qputenv("JOURNAL_STREAM", streamOf(st.st_dev, st.st_ino + 1));
    EXPECT_FALSE(standardOutputIsJournal());
    for (const char* broken : {"", "12", "a:b", "1:2:3", ":"}) {
        qputenv("JOURNAL_STREAM", broken);
        EXPECT_FALSE(standardOutputIsJournal()) << broken;
    }
}

TEST_F(JournalStream, TheEchoWritesTheJournalFormOnlyIntoTheJournal) {
    const QString line = QStringLiteral("[12/8/2026 8:01:02 AM]: Dial failed (error 678)");
    qunsetenv("JOURNAL_STREAM");
    headlessLogEcho()(line);
    qputenv("JOURNAL_STREAM", streamOf(st.st_dev, st.st_ino));
    headlessLogEcho()(line);
    file.seek(0);
    EXPECT_EQ(file.readAll(),
              "[12/8/2026 8:01:02 AM]: Dial failed (error 678)\n"
              "<3>Dial failed (error 678)\n");
}

}  // namespace
}  // namespace obu
