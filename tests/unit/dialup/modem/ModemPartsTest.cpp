// The pieces under the serial driver: reading a modem's answers, building the
// dial command, the UUCP lock between processes, and the phone book's keys of
// real modems.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>

#include "dialup/modem/ModemResponses.h"
#include "dialup/modem/UucpLock.h"
#include "dialup/phonebook/PhoneBook.h"
#include "tests/unit/dialup/modem/SerialTestSupport.h"

namespace obu::test {
namespace {

TEST(ModemResponsesTest, WordsAndDigitsGiveTheSameResultsAndNoiseGivesNone) {
    const struct {
        const char* line;
        ModemResult::Kind kind;
        int speed;
    } cases[] = {
        {"OK", ModemResult::Ok, 0},
        {"0", ModemResult::Ok, 0},
        {"CONNECT", ModemResult::Connect, 0},
        {"1", ModemResult::Connect, 300},
        {"CONNECT 33600", ModemResult::Connect, 33600},
        {"connect 28800/ARQ/V34/LAPM/V42BIS", ModemResult::Connect, 28800},
        {"84", ModemResult::Connect, 33600},
        {"12", ModemResult::Connect, 9600},
        {"NO CARRIER", ModemResult::NoCarrier, 0},
        {"3", ModemResult::NoCarrier, 0},
        {"ERROR", ModemResult::Error, 0},
        {"4", ModemResult::Error, 0},
        {"NO DIALTONE", ModemResult::NoDialTone, 0},
        {"NO DIAL TONE", ModemResult::NoDialTone, 0},
        {"6", ModemResult::NoDialTone, 0},
        {"BUSY", ModemResult::Busy, 0},
        {"7", ModemResult::Busy, 0},
        {"NO ANSWER", ModemResult::NoAnswer, 0},
        {"8", ModemResult::NoAnswer, 0},
        {"RING", ModemResult::Ring, 0},
        {"  OK  ", ModemResult::Ok, 0},
        {"ATDT5550100", ModemResult::None, 0},
        {"CONNECTION", ModemResult::None, 0},
        {"\x01\xfe garbage", ModemResult::None, 0},
        {"OKAY", ModemResult::None, 0},
        {"9", ModemResult::None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const ModemResult r = parseModemResult(c.line);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.speed, c.speed);
    }
    EXPECT_EQ(dialFailure(ModemResult::Busy), dialup_error::LineBusy);
    EXPECT_EQ(dialFailure(ModemResult::NoDialTone), dialup_error::NoDialTone);
    EXPECT_EQ(dialFailure(ModemResult::NoCarrier), dialup_error::NoCarrier);
    EXPECT_EQ(dialFailure(ModemResult::NoAnswer), dialup_error::NoAnswer);
    EXPECT_EQ(dialFailure(ModemResult::Error), dialup_error::FromDevice);
    EXPECT_EQ(dialFailure(ModemResult::Ok), dialup_error::FromDevice);
    EXPECT_EQ(dialFailure(ModemResult::Connect), 0u);
}

TEST(ModemResponsesTest, LinesEndInCrLfOrABareCrAndAPartialLineWaits) {
    QByteArray buffer = "ATZ\r\r\nOK\r\n0\r7\rCONN";
    const auto lines = takeModemLines(buffer);
    EXPECT_EQ(lines, (std::vector<QByteArray>{"ATZ", "OK", "0", "7"}));
    EXPECT_EQ(buffer, "CONN");
    buffer += "ECT 33600\r\n";
    EXPECT_EQ(takeModemLines(buffer), (std::vector<QByteArray>{"CONNECT 33600"}));
    // Noise without line ends does not grow without bound.
    QByteArray noise(10000, 'x');
    takeModemLines(noise);
    EXPECT_LE(noise.size(), 512);
}

TEST(ModemResponsesTest, TheDialCommandKeepsOnlyDialCharacters) {
    EXPECT_EQ(dialCommand("", "555-0100"), "ATDT5550100\r");
    EXPECT_EQ(dialCommand("ATDP", "(0)123 45,67#*"), "ATDP012345,67#*\r");
    EXPECT_EQ(dialCommand("ATX3DT9W", "555 0100"), "ATX3DT9W5550100\r");
    // Nothing in a number can end the command or start another one.
    EXPECT_EQ(dialCommand("ATDT", "555\r\nATH0;ATZ"), "ATDT555AT0AT\r");
    EXPECT_EQ(dialCommand("ATD\rT", "1"), "ATDT1\r");
}

TEST(UucpLockTest, ALiveHoldersLockIsRespectedAndADeadOnesIsTakenOver) {
    TempFolder folder;
    const QString dir = folder.path();
    const QByteArray device = "/dev/ttyS9";
    const QByteArray path = UucpLock::lockPath(dir, device);
    EXPECT_TRUE(path.endsWith("/LCK..ttyS9"));

    Sleeper holder;
    const QByteArray theirs = QByteArray::number(holder.pid()).rightJustified(10, ' ') + '\n';
    folder.write("LCK..ttyS9", theirs);
    UucpLock lock;
    EXPECT_EQ(lock.acquire(dir, device), UucpLock::Result::InUse);
    EXPECT_EQ(lock.holder(), holder.pid());
    EXPECT_EQ(UucpLock::owner(path), holder.pid());
    EXPECT_EQ(folder.read("LCK..ttyS9"), theirs);  // untouched

    holder.end();  // now stale: the lock of a killed dialer goes as soon as it is seen
    EXPECT_EQ(UucpLock::owner(path), 0);
    EXPECT_FALSE(folder.exists("LCK..ttyS9"));
    // One that names no process at all is left to the dialer that wants the device.
    folder.write("LCK..ttyS9", "garbage\n");
    EXPECT_EQ(UucpLock::owner(path), 0);
    EXPECT_TRUE(folder.exists("LCK..ttyS9"));
    ASSERT_EQ(lock.acquire(dir, device), UucpLock::Result::Taken);
    // Ten ASCII characters and a line feed, as the other dialers write it.
    EXPECT_EQ(folder.read("LCK..ttyS9"),
              QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n');
    struct stat st {};
    ASSERT_EQ(::stat(path.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // Handed to the process that holds the line, released with it.
    Sleeper pppd;
    ASSERT_TRUE(lock.handOver(pppd.pid()));
    EXPECT_EQ(UucpLock::owner(path), pppd.pid());
    lock.release();
    EXPECT_FALSE(folder.exists("LCK..ttyS9"));

    // A lock that someone else took over meanwhile is not ours to remove.
    ASSERT_EQ(lock.acquire(dir, device), UucpLock::Result::Taken);
    folder.write("LCK..ttyS9", theirs);
    lock.release();
    EXPECT_TRUE(folder.exists("LCK..ttyS9"));
}

TEST(UucpLockTest, OldBinaryLocksGarbageAndMissingFoldersAreHandled) {
    TempFolder folder;
    Sleeper holder;
    const int pid = holder.pid();
    folder.write("LCK..ttyUSB0", QByteArray(reinterpret_cast<const char*>(&pid), 4));
    UucpLock lock;
    EXPECT_EQ(lock.acquire(folder.path(), "/dev/ttyUSB0"), UucpLock::Result::InUse);
    EXPECT_EQ(lock.holder(), pid);
    // Whatever its bytes look like: 8247 is "7 " and two zero bytes.
    const int looksLikeText = 8247;
    EXPECT_EQ(UucpLock::parsePid(QByteArray(reinterpret_cast<const char*>(&looksLikeText), 4)),
              8247);
    // A lock file with no pid in it protects nothing.
    folder.write("LCK..ttyUSB1", "garbage\n");
    EXPECT_EQ(lock.acquire(folder.path(), "/dev/ttyUSB1"), UucpLock::Result::Taken);
    lock.release();
    EXPECT_EQ(lock.acquire(folder.file("missing"), "/dev/ttyUSB2"), UucpLock::Result::NoFolder);
    EXPECT_FALSE(lock.held());
    // Removing a holder's lock only once it has ended.
    folder.write("LCK..ttyUSB3", QByteArray::number(pid).rightJustified(10, ' ') + '\n');
    UucpLock::removeIfHeldBy(UucpLock::lockPath(folder.path(), "ttyUSB3"), pid);
    EXPECT_TRUE(folder.exists("LCK..ttyUSB3"));
    holder.end();
    UucpLock::removeIfHeldBy(UucpLock::lockPath(folder.path(), "ttyUSB3"), pid);
    EXPECT_FALSE(folder.exists("LCK..ttyUSB3"));
}

// The lock folder is everyone's: links (and other things) laid there by
// another user are never followed, rewritten or removed.
TEST(UucpLockTest, NothingLaidInTheSharedFolderIsFollowedOrRemoved) {
    TempFolder folder;
    folder.write("precious", "keep\n");
    const QByteArray path = UucpLock::lockPath(folder.path(), "/dev/ttyS7");
    ASSERT_TRUE(QFile::link(folder.file("precious"), QFile::decodeName(path)));
    UucpLock lock;
    EXPECT_EQ(lock.acquire(folder.path(), "/dev/ttyS7"), UucpLock::Result::NotAFile);
    EXPECT_FALSE(lock.held());
    EXPECT_EQ(UucpLock::owner(path), 0);
    UucpLock::removeOwn(path, ::getpid());
    EXPECT_TRUE(QFileInfo(QFile::decodeName(path)).isSymLink());
    ASSERT_EQ(::unlink(path.constData()), 0);
    ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);  // would block a reader
    EXPECT_EQ(lock.acquire(folder.path(), "/dev/ttyS7"), UucpLock::Result::NotAFile);
    ASSERT_EQ(::unlink(path.constData()), 0);

    // Links under the names a writer of the lock might use.
    for (const QByteArray& name :
         {QByteArray("LCK..ttyS7.new"), "LTMP." + QByteArray::number(::getpid())})
        ASSERT_TRUE(QFile::link(folder.file("precious"), folder.file(QString::fromLatin1(name))));
    ASSERT_EQ(lock.acquire(folder.path(), "/dev/ttyS7"), UucpLock::Result::Taken);
    Sleeper holder;
    ASSERT_TRUE(lock.handOver(holder.pid()));
    EXPECT_EQ(UucpLock::owner(path), holder.pid());
    EXPECT_EQ(folder.read("precious"), "keep\n");
    struct stat st {};
    ASSERT_EQ(::lstat(path.constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // A lock that is no longer our file is neither rewritten nor removed.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
        Sleeper other;
        EXPECT_FALSE(lock.handOver(other.pid()));
        lock.release();
        EXPECT_TRUE(folder.exists("LCK..ttyS7"));
        EXPECT_EQ(UucpLock::owner(path), holder.pid());
    }
    EXPECT_EQ(folder.read("precious"), "keep\n");
}

TEST(SerialPhoneBookTest, RealModemKeysAreReadWithSensibleDefaults) {
    const PhoneBook book = PhoneBook::parse(
        "[Office]\nDevice=/dev/ttyUSB0\nSpeed=57600\nInitString=AT&F&C1&D2\n"
        "DialPrefix=ATDP\nFlowControl=none\nWaitForDialTone=0\nDialTimeout=90\n"
        "PppOptions=defaultroute mtu 1400\nPppPeer=office\n"
        "[Defaults]\nDevice=/dev/ttyS0\nSpeed=fast\nDialTimeout=1\n"
        "[Demo]\nPhoneNumber=1\n");
    ASSERT_EQ(book.entries.size(), 3u);
    const PhoneBookEntry& o = book.entries[0];
    EXPECT_TRUE(o.serialDevice());
    EXPECT_EQ(o.speed, 57600);
    EXPECT_EQ(o.initString, "AT&F&C1&D2");
    EXPECT_EQ(o.dialPrefix, "ATDP");
    EXPECT_FALSE(o.hardwareFlow);
    EXPECT_FALSE(o.waitForDialTone);
    EXPECT_EQ(o.dialTimeoutSeconds, 90);
    EXPECT_EQ(o.pppOptions, "defaultroute mtu 1400");
    EXPECT_EQ(o.pppPeer, "office");
    const PhoneBookEntry& d = book.entries[1];
    EXPECT_EQ(d.speed, 115200);
    EXPECT_TRUE(d.hardwareFlow);
    EXPECT_TRUE(d.waitForDialTone);
    EXPECT_EQ(d.dialTimeoutSeconds, 5);  // clamped
    EXPECT_EQ(d.dialPrefix, "ATDT");
    EXPECT_FALSE(book.entries[2].serialDevice());  // the emulated modem
}

}  // namespace
}  // namespace obu::test
