// obu-line as a script sees it: the fields of --terse, the JSON that reaches a
// terminal, and the real program's exit status for each case it tells apart.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "tests/support/TempFolder.h"
#include "tools/obu-line/Output.h"

using namespace obu;
using namespace obu::line;

TEST(ObuLineOutputTest, TerseFieldsEscapeTheirSeparatorAndControls) {
    EXPECT_EQ(terseLine({"a:b", "c\\d", "", "e"}), QStringLiteral("a\\:b:c\\\\d::e"));
    // The control is shown as an escape first, and its backslash then
    // escaped, so that splitting on unescaped colons gives the shown name.
    EXPECT_EQ(terseLine({QStringLiteral("x\ty\x1b[2J")}), QStringLiteral("x\\\\ty\\\\x1b[2J"));
}

TEST(ObuLineOutputTest, JsonKeepsItsLayoutAndEscapesWhatATerminalWouldActOn) {
    const QString name = QStringLiteral("A\u009b31m\u202e\x7f") + QChar(0x1b) + QStringLiteral("é");
    const QByteArray raw = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Indented);
    const QByteArray safe = terminalSafeJson(raw);
    EXPECT_TRUE(safe.contains("\\u009b") && safe.contains("\\u202e") && safe.contains("\\u007f") &&
                safe.contains("\\u001b"))
        << safe.constData();
    EXPECT_TRUE(safe.contains('\n')) << "the document's own line breaks stay";
    EXPECT_TRUE(safe.contains("é")) << "printable text is left as it is";
    EXPECT_FALSE(QString::fromUtf8(safe).contains(QChar(0x9b)));
    EXPECT_EQ(QJsonDocument::fromJson(safe).array().at(0).toString(), name);
}

namespace {

constexpr int kDeadlineMs = 30000;

struct Outcome {
    int status = -1;
    QByteArray out;
    QString err;
};

struct ObuLineRunTest : ::testing::Test {
    test::TempFolder folder;

    void SetUp() override {
        const QByteArray quick = "PortDelay=50\nDialDelay=100\nAuthDelay=50\nProjectDelay=50\n";
        folder.write("phonebook.pbk", "[Fast]\n" + quick + "[Busy]\nFail=busy\n" + quick +
                                          "[Refused]\nFail=login\n" + quick +
                                          "[Odd\x9b: Name\\]\n" + quick);
    }
    void TearDown() override { run({"hangup", "all"}); }

    Outcome run(const QStringList& args, const QString& linesDir = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OBU_LINES_DIR", linesDir.isEmpty() ? folder.file("lines") : linesDir);
        env.insert("OBU_PHONEBOOK", folder.file("phonebook.pbk"));
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder.file("no-system-bus"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(OBU_LINE_PATH), args);
        Outcome result;
        if (!process.waitForFinished(kDeadlineMs)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        if (process.exitStatus() == QProcess::NormalExit) result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
};

}  // namespace

TEST_F(ObuLineRunTest, EachCaseHasItsOwnExitStatus) {
    struct Case {
        QStringList args;
        int status;
        const char* said;  // on stderr
    };
    const Case table[] = {
        {{"entries"}, kOk, ""},
        {{"dial", "Refused"}, kFailed, "error 691"},
        {{"frobnicate"}, kUsage, "unknown command"},
        {{"--terse", "--json", "entries"}, kUsage, "exclude each other"},
        {{"--json", "dial", "Fast"}, kUsage, "belong to"},
        {{"hangup"}, kUsage, "wrong number"},
        {{"dial", "Nobody"}, kNoSuch, "error 623"},
        {{"dial", "Busy"}, kBusy, "error 676"},
        {{"dial", "Fast"}, kOk, ""},
        {{"dial", "Fast"}, kBusy, "error 633"},
        {{"hangup", "Busy"}, kNoSuch, "no connection to \"Busy\""},
        {{"hangup", "Fast"}, kOk, ""},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.said))) << r.err.toStdString();
    }
}

TEST_F(ObuLineRunTest, NothingUpIsTheSameAnswerForAnEntryAndForAll) {
    for (const char* command : {"hangup", "drop"}) {
        const Outcome all = run({command, "all"});
        const Outcome one = run({command, "Fast"});
        EXPECT_EQ(all.status, kOk);
        EXPECT_EQ(one.status, all.status) << command;
        EXPECT_EQ(one.out, all.out) << command;
        EXPECT_EQ(all.out, "No connections.\n");
    }
}

TEST_F(ObuLineRunTest, RecordsOfAnotherUserAreAMatterOfPermission) {
    const QString foreign = folder.file("foreign");
    ASSERT_TRUE(QDir().mkdir(foreign));
    // Root passes every permission check: the folder is given away instead.
    if (::geteuid() == 0)
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    else
        ASSERT_TRUE(QFile::setPermissions(foreign, {}));
    EXPECT_EQ(run({"connections"}, foreign).status, kPermission);
    EXPECT_EQ(run({"hangup", "all"}, foreign).status, kPermission);
    EXPECT_EQ(run({"dial", "Fast"}, foreign).status, kFailed) << "nothing dialled, said";
    QFile::setPermissions(foreign, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(ObuLineRunTest, JsonReadsBackTheRealNames) {
    const Outcome entries = run({"--json", "entries"});
    ASSERT_EQ(entries.status, kOk);
    QJsonParseError error{};
    const QJsonArray list = QJsonDocument::fromJson(entries.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << entries.out.constData();
    ASSERT_EQ(list.size(), 4);
    const QString odd = QStringLiteral("Odd\u009b: Name\\");
    EXPECT_EQ(list.at(3).toObject().value("name").toString(), odd);
    EXPECT_EQ(list.at(3).toObject().value("source").toString(), QStringLiteral("phone book"));
    EXPECT_FALSE(entries.out.contains("\xc2\x9b")) << "no raw C1 control reaches the terminal";

    ASSERT_EQ(run({"dial", odd}).status, kOk);
    const Outcome up = run({"--json", "connections"});
    const QJsonArray connections = QJsonDocument::fromJson(up.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << up.out.constData();
    ASSERT_EQ(connections.size(), 1);
    const QJsonObject c = connections.at(0).toObject();
    EXPECT_EQ(c.value("entry").toString(), odd);
    EXPECT_EQ(c.value("state").toString(), QStringLiteral("connected"));
    EXPECT_TRUE(c.value("port").toString().startsWith("/dev/"));
    EXPECT_GT(c.value("holder").toObject().value("pid").toInteger(), 0);

    const Outcome terse = run({"--terse", "connections"});
    EXPECT_TRUE(terse.out.startsWith("Odd\\\\x9b\\: Name\\\\:connected:Connected:"))
        << terse.out.constData();
    ASSERT_EQ(run({"hangup", "all"}).status, kOk);
    EXPECT_EQ(run({"--json", "connections"}).out.trimmed(), "[\n]");
}

TEST_F(ObuLineRunTest, APhoneBookThatMayNotBeReadIsAMatterOfPermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";  // run as another user to see it
    ASSERT_TRUE(QFile::setPermissions(folder.file("phonebook.pbk"), QFile::WriteOwner));
    EXPECT_EQ(run({"entries"}).status, kPermission);
    EXPECT_EQ(run({"dial", "Fast"}).status, kPermission);
    EXPECT_EQ(run({"--phonebook", folder.file("missing.pbk"), "entries"}).status, kFailed)
        << "a missing phone book is no matter of permission";
}

TEST_F(ObuLineRunTest, HistoryInEveryFormWithDamagedLinesSaid) {
    const QString file = folder.file("history.tsv");
    Outcome none = run({"history", "--history", file});
    EXPECT_EQ(none.status, kOk);
    EXPECT_EQ(none.out, "No sessions.\n");
    EXPECT_EQ(run({"--json", "history", "--history", file}).out.simplified(),
              "{ \"days\": [ ], \"months\": [ ], \"sessions\": [ ] }");
    EXPECT_EQ(run({"entries", "--history", file}).status, kUsage);

    folder.write(
        "history.tsv",
        "# entry\tstart\tend\tended\tbytes received\tbytes sent\n"
        "Odd:\\tName\t2026-01-31T23:30:00+00:00\t2026-02-01T00:15:00+00:00\tdropped\t12\t\n"
        "garbage\n");
    // Times are shown and totalled in the user's zone.
    qputenv("TZ", "UTC");
    const Outcome terse = run({"--terse", "history", "--history", file});
    qunsetenv("TZ");
    EXPECT_EQ(terse.status, kOk);
    EXPECT_EQ(terse.out,
              "session:Odd\\:\\\\tName:2026-01-31T23\\:30\\:00Z:2026-02-01T00\\:15\\:00Z:2700:"
              "dropped:12:\n"
              "day:2026-01-31:1800\n"
              "day:2026-02-01:900\n"
              "month:2026-01:1800\n"
              "month:2026-02:900\n");
    EXPECT_TRUE(terse.err.contains("1 line of")) << terse.err.toStdString();
}
