#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include <QFileInfo>
#include "model/EventLog.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/Formats.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

// A clock whose every reading is one millisecond later than the last.
class SteppingClock : public Clock {
public:
    explicit SteppingClock(QDateTime start) : m_t(std::move(start)) {}
    QDateTime now() const override {
        QDateTime result = m_t;
        m_t = m_t.addMSecs(1);
        return result;
    }
    std::uint32_t millisecondsSinceStart() const override { return 0; }
    void set(QDateTime t) { m_t = std::move(t); }

private:
    mutable QDateTime m_t;
};

struct EventLogTest : ::testing::Test {
    test::TempFolder folder;
    SteppingClock clock{QDateTime(QDate(2001, 6, 14), QTime(21, 5, 12))};
    Formats formats;
    EventLog log{clock, formats, folder.file("log.txt")};
};

}  // namespace

TEST_F(EventLogTest, StartBeginsAFreshPrivateFileAndKeepsOnlyThePreviousRun) {
    folder.write("log.1.txt", "run before last\r\n");
    folder.write("log.txt", "last run\r\n");
    ASSERT_TRUE(QFile::setPermissions(folder.file("log.txt"), QFile::ReadOwner | QFile::WriteOwner |
                                                                  QFile::ReadOther |
                                                                  QFile::ReadGroup));
    log.start("OBU Launched");
    log.writeLine("Connect requested by user");
    EXPECT_EQ(folder.read("log.txt"),
              "[6/14/2001 9:05:12 PM]: OBU Launched\r\n"
              "[6/14/2001 9:05:12 PM]: Connect requested by user\r\n");
    EXPECT_EQ(folder.read("log.1.txt"), "last run\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(folder.file("log.txt").toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(EventLogTest, ALinkInTheLogsPlaceIsNeverFollowed) {
    test::TempFolder elsewhere;
    elsewhere.write("precious", "keep me\n");
    ASSERT_TRUE(QFile::link(elsewhere.file("precious"), folder.file("log.txt")));
    log.start("OBU Launched");
    EXPECT_EQ(elsewhere.read("precious"), "keep me\n");
    EXPECT_FALSE(QFileInfo(folder.file("log.txt")).isSymLink());
    EXPECT_FALSE(folder.exists("log.1.txt")) << "a link is not a log of ours to keep";
    // A link put there while the program runs is refused, not appended to.
    ASSERT_TRUE(QFile::remove(folder.file("log.txt")));
    ASSERT_TRUE(QFile::link(elsewhere.file("precious"), folder.file("log.txt")));
    EXPECT_THROW(log.writeLine("Connect requested by user"), IoError);
    EXPECT_EQ(elsewhere.read("precious"), "keep me\n");
}

TEST_F(EventLogTest, MidnightShowsTheDateAlone) {
    clock.set(QDateTime(QDate(2001, 6, 15), QTime(0, 0, 0)));
    log.start("OBU Launched");
    clock.set(QDateTime(QDate(2001, 6, 15), QTime(0, 0, 1)));
    log.writeLine("x");
    EXPECT_EQ(folder.read("log.txt"),
              "[6/15/2001]: OBU Launched\r\n[6/15/2001 12:00:01 AM]: x\r\n");
}

TEST_F(EventLogTest, TwoLinesOfOneEventEachTakeTheirOwnTime) {
    log.start("OBU Launched");
    clock.set(QDateTime(QDate(2001, 6, 14), QTime(21, 5, 12, 999)));
    log.writeLines({"Line was busy", "Connection Terminated by OBU"});
    EXPECT_EQ(folder.read("log.txt"),
              "[6/14/2001 9:05:12 PM]: OBU Launched\r\n"
              "[6/14/2001 9:05:12 PM]: Line was busy\r\n"
              "[6/14/2001 9:05:13 PM]: Connection Terminated by OBU\r\n");
}

TEST_F(EventLogTest, NamesAreWrittenAsTheyAreInSingleByteText) {
    log.start(QString::fromUtf8("Caf\u00e9 ]: launched"));
    EXPECT_EQ(folder.read("log.txt"), "[6/14/2001 9:05:12 PM]: Caf\xe9 ]: launched\r\n");
}

TEST_F(EventLogTest, ControlCharactersOfANameNeverReachTheFileOrTheEcho) {
    // A NetworkManager profile named to forge a line and recolour a terminal,
    // and a phone-book value with the single-byte CSI.
    QStringList echoed;
    log.setEcho([&](const QString& line) { echoed << line; });
    log.start(QStringLiteral("Connection established to evil\n[1/1/2001 1:00:00 AM]: OK\x1b[31m"));
    log.writeLine(QStringLiteral("Dial failed: ") + QChar(0x9B) + QStringLiteral("2J"));
    EXPECT_EQ(folder.read("log.txt"),
              "[6/14/2001 9:05:12 PM]: Connection established to "
              "evil\\n[1/1/2001 1:00:00 AM]: OK\\x1b[31m\r\n"
              "[6/14/2001 9:05:12 PM]: Dial failed: \\x9b2J\r\n");
    ASSERT_EQ(echoed.size(), 2);
    EXPECT_EQ(echoed[1], "[6/14/2001 9:05:12 PM]: Dial failed: \\x9b2J");
}

TEST_F(EventLogTest, EchoSeesEveryLine) {
    QStringList echoed;
    log.setEcho([&](const QString& line) { echoed << line; });
    log.start("a");
    log.writeLines({"b", "c"});
    EXPECT_EQ(echoed, QStringList({"[6/14/2001 9:05:12 PM]: a", "[6/14/2001 9:05:12 PM]: b",
                                   "[6/14/2001 9:05:12 PM]: c"}));
}

TEST_F(EventLogTest, FailuresCarryTheirTextAndTheFile) {
    // Appending to a log that was deleted meanwhile: the file is not made again.
    try {
        log.writeLine("x");
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_EQ(e.message(), "File not found: " + folder.file("log.txt"));
    }
    EXPECT_FALSE(folder.exists("log.txt"));
    // A log that cannot be opened for writing (here a folder stands in its way).
    ASSERT_TRUE(QDir().mkdir(folder.file("log.txt")));
    try {
        log.start("OBU Launched");
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(e.message(), "File access denied: " + folder.file("log.txt"));
    }
    EXPECT_EQ(IoError::textFor(112), "I/O error 112");
}
