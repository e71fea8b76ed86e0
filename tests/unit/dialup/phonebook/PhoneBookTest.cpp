// Phone books as users leave them: missing, empty, damaged, too long, with
// duplicate or odd names. None may crash the service, and each must give a
// list that makes sense, read through the service.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QRandomGenerator>

#include "dialup/Call.h"
#include "tests/unit/dialup/phonebook/DialUpTestSupport.h"

namespace obu::test {
namespace {

// The names of a phone book as the service lists them, and the code it gave.
struct Listing {
    explicit Listing(LineService& source) : service(source) {}
    LineService& service;
    QStringList names;
    DialUpError error = dialup_error::None;

    DialUpError read(const QString& path) {
        QList<EntryInfo> entries;
        names.clear();
        error = service.entries(path, &entries);
        for (const EntryInfo& entry : entries) names << entry.name;
        return error;
    }
};

class PhoneBookTest : public ::testing::Test {
protected:
    ServiceBench bench;
    std::unique_ptr<LineService> service = bench.service();
    Listing ras{*service};

    QStringList listOf(const QByteArray& text) {
        bench.folder.write("book.pbk", text);
        ras.read(bench.folder.file("book.pbk"));
        return ras.names;
    }
};

TEST_F(PhoneBookTest, WithoutAFileTheDemoPhoneBookServesInItsOrder) {
    LineService demo(bench.time, bench.time,
                     {bench.folder.file("none/phonebook.pbk"), bench.folder.file("lines")});
    Listing component{demo};
    EXPECT_EQ(component.read({}), 0u);
    EXPECT_EQ(component.names,
              (QStringList{"Demo ISP", "Demo Busy", "Demo Always Busy", "Demo No Dial Tone",
                           "Demo No Answer", "Demo Bad Password", "Demo Drop"}));
    const PhoneBook book = demo.phoneBook();
    EXPECT_EQ(book.source, PhoneBook::Source::Demo);
    EXPECT_EQ(book.find("demo busy")->busyCount, 2);
    EXPECT_EQ(book.find("Demo Always Busy")->failure, LineFailure::Busy);
    EXPECT_EQ(book.find("Demo No Dial Tone")->failure, LineFailure::NoDialTone);
    EXPECT_EQ(book.find("Demo No Answer")->failure, LineFailure::NoAnswer);
    EXPECT_EQ(book.find("Demo Bad Password")->failure, LineFailure::Login);
    EXPECT_EQ(book.find("Demo Drop")->dropAfterSeconds, 60);
}

TEST_F(PhoneBookTest, ANamedPhoneBookThatIsMissingOrAFolderListsNothingWithItsCode) {
    ras.read(bench.folder.file("nowhere.pbk"));
    EXPECT_TRUE(ras.names.isEmpty());
    EXPECT_EQ(ras.error, 621u);
    ras.read(bench.folder.path());
    EXPECT_TRUE(ras.names.isEmpty());
    EXPECT_EQ(ras.error, 621u);
    // A FIFO would wait for a writer for ever: it is refused without opening
    // it for a read that blocks.
    const QString fifo = bench.folder.file("fifo.pbk");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ras.read(fifo);
    EXPECT_TRUE(ras.names.isEmpty());
    EXPECT_EQ(ras.error, 621u);
    EXPECT_TRUE(service->phoneBook(fifo).problem.contains("not a regular file"));
    LineService fifoDefault(bench.time, bench.time, {fifo, bench.folder.file("lines")});
    QList<EntryInfo> entries;
    EXPECT_EQ(fifoDefault.entries({}, &entries), 621u);
    // Back to the default one: the list comes back.
    ras.read(QString());
    EXPECT_EQ(ras.names.size(), 14);
    EXPECT_EQ(ras.error, 0u);
}

TEST_F(PhoneBookTest, EmptyAndDamagedFilesGiveTheEntriesThatCanBeRead) {
    EXPECT_TRUE(listOf("").isEmpty());
    EXPECT_EQ(ras.error, 0u);
    EXPECT_TRUE(listOf("\r\n\r\n; only a comment\nPhoneNumber=1\n").isEmpty());

    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator random(42);
    for (char& c : noise) c = static_cast<char>(random.bounded(256));
    const QStringList fromNoise = listOf(noise);
    for (const QString& name : fromNoise) EXPECT_FALSE(name.isEmpty());

    // Good sections survive among garbage, broken lines and binary bytes.
    QByteArray damaged(
        "\x01\x02garbage\n[Good One]\nPhoneNumber=1\n[unterminated\n[Bad\x07Name]\n[]\n[   ]\n");
    damaged += QByteArray("\xff\xfe\x00\x01\n", 5);
    damaged += "[Good Two] trailing\n";
    const QStringList mixed = listOf(damaged);
    EXPECT_EQ(mixed, (QStringList{"Good One", "Good Two"}));
}

TEST_F(PhoneBookTest, TwentyFiveEntriesAreAllListedInTheirOrder) {
    QByteArray text;
    for (int i = 1; i <= 25; ++i)
        text += QByteArray("[Entry ") + QByteArray::number(i) + "]\nPhoneNumber=1\n";
    const QStringList names = listOf(text);
    ASSERT_EQ(names.size(), 25);
    EXPECT_EQ(names.front(), "Entry 1");
    EXPECT_EQ(names.back(), "Entry 25");
    EXPECT_EQ(ras.error, 0u);
}

TEST_F(PhoneBookTest, ALongNameIsCutTo256AndCanStillBeDialled) {
    const QByteArray longName(300, 'L');
    const QStringList names =
        listOf("[" + longName + "]\nPortDelay=10\nDialDelay=10\nAuthDelay=10\nProjectDelay=10\n");
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0], QString(256, u'L'));
    DialRequest request;
    request.entry = QString(300, u'L');
    request.phoneBook = bench.folder.file("book.pbk");
    std::unique_ptr<Call> call = service->dial(request);
    ASSERT_TRUE(bench.time.advanceUntil([&] { return call->isUp(); }, 5000));
    EXPECT_EQ(enumerate(*service).at(0).entry, QString(256, u'L'));
}

TEST_F(PhoneBookTest, DuplicateSectionsAreListedOnceAndTheFirstOneCounts) {
    const QStringList names = listOf(
        "[Home]\nPhoneNumber=111\n[Work]\nPhoneNumber=222\n[home]\nPhoneNumber=333\n"
        "[Home]\nPhoneNumber=444\n");
    EXPECT_EQ(names, (QStringList{"Home", "Work"}));
    const PhoneBook book = service->phoneBook(bench.folder.file("book.pbk"));
    EXPECT_EQ(book.find("HOME")->phoneNumber, "111");
}

TEST_F(PhoneBookTest, KeysFollowTheProfileRules) {
    bench.folder.write(
        "book.pbk",
        "  [ Spaced Name ]  \r\n  phonenumber = \"555 1234\" \r\nDEVICE='USR Courier'\r\n"
        "PhoneNumber=ignored, the first one wins\r\nDialDelay=not a number\r\nAuthDelay=-5\r\n"
        "BusyCount=3\r\nDropAfter=90\r\nFail=BUSY\r\n; PortDelay=1\r\n");
    const PhoneBook book = service->phoneBook(bench.folder.file("book.pbk"));
    ASSERT_EQ(book.entries.size(), 1u);
    const PhoneBookEntry& e = book.entries[0];
    EXPECT_EQ(e.name, "Spaced Name");
    EXPECT_EQ(e.phoneNumber, "555 1234");
    EXPECT_EQ(e.device, "USR Courier");
    EXPECT_EQ(e.dialDelayMs, 2500);
    EXPECT_EQ(e.authDelayMs, 0);
    EXPECT_EQ(e.portDelayMs, 300);
    EXPECT_EQ(e.busyCount, 3);
    EXPECT_EQ(e.dropAfterSeconds, 90);
    EXPECT_EQ(e.failure, LineFailure::Busy);
}

TEST_F(PhoneBookTest, NamesWrittenInUtf8OrSingleByteReadTheSame) {
    EXPECT_EQ(listOf("[Caf\xc3\xa9 Net]\n"), QStringList{QString::fromUtf8("Café Net")});
    EXPECT_EQ(listOf("[Caf\xe9 Net]\n"), QStringList{QString::fromUtf8("Café Net")});
}

TEST_F(PhoneBookTest, AFileTooLargeToBeAPhoneBookIsRefused) {
    bench.folder.write("book.pbk", QByteArray(PhoneBook::kMaxFileBytes + 10, 'x'));
    ras.read(bench.folder.file("book.pbk"));
    EXPECT_TRUE(ras.names.isEmpty());
    EXPECT_EQ(ras.error, 622u);
}

}  // namespace
}  // namespace obu::test
