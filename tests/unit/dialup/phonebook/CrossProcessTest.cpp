// The registry between real processes: obu-line dials, hangs up and drops in
// processes of its own while this process watches through its own service,
// as obu and obu-line do on a desktop.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "dialup/Call.h"
#include "platform/SystemClock.h"
#include "tests/unit/dialup/phonebook/DialUpTestSupport.h"

namespace obu::test {
namespace {

constexpr int kDeadlineMs = 20000;

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "ras_cross_process_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

bool waitFor(const std::function<bool()>& condition, int ms = kDeadlineMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QThread::msleep(10);
    }
    return true;
}

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class CrossProcessTest : public ::testing::Test {
protected:
    TempFolder folder;
    SystemClock clock;
    VirtualTime loop;  // drives this process's own dials
    std::unique_ptr<LineService> service;
    std::vector<std::unique_ptr<QProcess>> running;

    void SetUp() override {
        application();
        folder.write("phonebook.pbk", fastPhoneBook() + "[Medium]\nDialDelay=1500\n");
        service = std::make_unique<LineService>(clock, loop, paths());
        // This process dials on virtual time, with the modem inside it; the
        // obu-line processes dial the emulated modem over pseudo-terminals.
        service->setDeviceFactory(service->simulatedModemFactory());
    }
    void TearDown() override {
        for (auto& p : running) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kDeadlineMs);
            }
        }
    }
    LineService::Paths paths() const {
        return {folder.file("phonebook.pbk"), folder.file("lines")};
    }

    QProcess* start(const QStringList& args, const QString& phoneBook = {}) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("OBU_LINES_DIR", folder.file("lines"));
        env.insert("OBU_PHONEBOOK", phoneBook.isEmpty() ? folder.file("phonebook.pbk") : phoneBook);
        // No system bus: the machine's NetworkManager profiles stay out.
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder.file("no-system-bus"));
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(OBU_LINE_PATH), args);
        EXPECT_TRUE(process->waitForStarted(kDeadlineMs));
        running.push_back(std::move(process));
        return running.back().get();
    }
    static ProcessResult finish(QProcess* process) {
        EXPECT_TRUE(process->waitForFinished(kDeadlineMs));
        ProcessResult run;
        run.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
        run.out = QString::fromUtf8(process->readAllStandardOutput());
        run.err = QString::fromUtf8(process->readAllStandardError());
        return run;
    }
    // Another process's change reaches this one through the Qt event loop.
    bool heardEnd(const Call& call) {
        return waitFor([&] {
            QCoreApplication::processEvents();
            loop.runPosted();
            return call.hasEnded();
        });
    }
    ProcessResult obuLine(const QStringList& args, const QString& phoneBook = {}) {
        return finish(start(args, phoneBook));
    }

    // This process dials, as obu would.
    std::unique_ptr<Call> dialHere(const QString& entry) {
        DialRequest request;
        request.entry = entry;
        std::unique_ptr<Call> call = service->dial(request);
        EXPECT_FALSE(call->hasEnded());
        EXPECT_TRUE(loop.advanceUntil([&] { return call->isUp(); }, kDeadlineMs));
        return call;
    }
};

TEST_F(CrossProcessTest, AConnectionDialledByObuLineIsListedHereAndOutlivesItsDialer) {
    const ProcessResult dial = obuLine({"dial", "Fast", "user", "pass"});
    ASSERT_EQ(dial.exitCode, 0) << dial.err.toStdString();
    EXPECT_TRUE(dial.out.contains("Authenticated"));
    EXPECT_TRUE(dial.out.contains("Connected to Fast"));
    // The dialer has ended; the connection is still there for everyone.
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].entry, "Fast");
    EXPECT_EQ(list[0].deviceName, "Simulated Modem");
    DialUpError result = 0;
    EXPECT_EQ(status(*service, list[0].id, &result).state, CallState::Connected);
    EXPECT_EQ(result, dialup_error::None);

    const ProcessResult connections = obuLine({"connections"});
    EXPECT_EQ(connections.exitCode, 0);
    EXPECT_TRUE(connections.out.contains(QRegularExpression("Fast +Connected +Simulated Modem")))
        << connections.out.toStdString();

    // The provider hangs up, from yet another process: seen here at once.
    const ProcessResult drop = obuLine({"drop", "fast"});
    EXPECT_EQ(drop.exitCode, 0) << drop.err.toStdString();
    EXPECT_TRUE(enumerate(*service).empty());
    status(*service, list[0].id, &result);
    EXPECT_EQ(result, dialup_error::InvalidCall);
    EXPECT_TRUE(obuLine({"connections"}).out.contains("No connections."));
}

TEST_F(CrossProcessTest, AHangUpOrADropFromOutsideIsSeenByTheProcessThatDialled) {
    std::unique_ptr<Call> call = dialHere("Fast");
    EXPECT_EQ(obuLine({"hangup", "Fast"}).exitCode, 0);
    EXPECT_TRUE(enumerate(*service).empty());
    DialUpError result = 0;
    status(*service, call->id(), &result);
    EXPECT_EQ(result, dialup_error::InvalidCall);
    ASSERT_TRUE(heardEnd(*call));
    EXPECT_EQ(call->end(), CallEnd::Dropped);

    // Dropped by the provider while this process lives: its call says why.
    call = dialHere("Fast");
    EXPECT_EQ(obuLine({"drop", "all"}).exitCode, 0);
    EXPECT_TRUE(enumerate(*service).empty());
    ASSERT_TRUE(heardEnd(*call));
    EXPECT_EQ(call->end(), CallEnd::Dropped);
    EXPECT_EQ(call->endError(), dialup_error::RemoteDisconnection);
    EXPECT_TRUE(service->lines().empty());
    LineRecord left;
    EXPECT_FALSE(service->record(call->id(), &left)) << "nothing of it is left";
}

TEST_F(CrossProcessTest, ADialInProgressIsReleasedWhenItsDialerIsKilled) {
    QProcess* dialer = start({"dial", "Slow"});
    ASSERT_TRUE(waitFor([&] { return service->lines().size() == 1; }));
    EXPECT_TRUE(service->lines()[0].dialing());
    EXPECT_EQ(enumerate(*service).size(), 1u);
    dialer->kill();
    ASSERT_TRUE(dialer->waitForFinished(kDeadlineMs));
    ASSERT_TRUE(waitFor([&] { return service->lines().empty(); }));
    // The modem is free again.
    std::unique_ptr<Call> call = dialHere("Fast");
    EXPECT_EQ(enumerate(*service).size(), 1u);
}

TEST_F(CrossProcessTest, ObuLineReportsADialEndedFromHereAndAnInterruptedDialReleasesTheModem) {
    QProcess* dialer = start({"dial", "Medium"});
    ASSERT_TRUE(waitFor([&] { return service->lines().size() == 1; }));
    EXPECT_EQ(service->hangUp(service->lines()[0].handle), dialup_error::None);
    const ProcessResult run = finish(dialer);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("error 628: The connection was closed.")) << run.err.toStdString();

    QProcess* interrupted = start({"dial", "Slow"});
    ASSERT_TRUE(waitFor([&] { return service->lines().size() == 1; }));
    interrupted->terminate();
    const ProcessResult stopped = finish(interrupted);
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_TRUE(stopped.err.contains("cancelled"));
    EXPECT_TRUE(service->lines().empty());
}

TEST_F(CrossProcessTest, TwoProgramsDialingOneModemAtOnceGetOneCall) {
    QProcess* a = start({"dial", "Fast"});
    QProcess* b = start({"dial", "Fast"});
    const ProcessResult ra = finish(a);
    const ProcessResult rb = finish(b);
    // Whichever opened the port first has the modem; the other cannot open it.
    ASSERT_NE(ra.exitCode == 0, rb.exitCode == 0) << ra.err.toStdString() << rb.err.toStdString();
    const ProcessResult& loser = ra.exitCode == 0 ? rb : ra;
    EXPECT_EQ(loser.exitCode, 4) << "in use";
    EXPECT_TRUE(loser.err.contains("error 633: The modem is already in use"))
        << loser.err.toStdString();
    EXPECT_EQ(enumerate(*service).size(), 1u);
}

TEST_F(CrossProcessTest, ABusyLineCountsItsBusySignalsAcrossPrograms) {
    const ProcessResult first = obuLine({"dial", "Fast Twice Busy"});
    EXPECT_EQ(first.exitCode, 4) << "busy";
    EXPECT_TRUE(first.err.contains("failed at \"Connecting device\": error 676: The line is busy."))
        << first.err.toStdString();
    DialRequest request;
    request.entry = "Fast Twice Busy";
    std::unique_ptr<Call> call = service->dial(request);
    ASSERT_TRUE(loop.advanceUntil([&] { return call->hasEnded(); }, kDeadlineMs));
    EXPECT_EQ(call->endError(), 676);
    EXPECT_EQ(obuLine({"dial", "Fast Twice Busy"}).exitCode, 0);
}

TEST_F(CrossProcessTest, ObuLineListsTheDemoPhoneBookAndExplainsItsFailures) {
    const ProcessResult entries = obuLine({"entries"}, folder.file("no-such.pbk"));
    EXPECT_EQ(entries.exitCode, 0);
    QStringList names = entries.out.split('\n', Qt::SkipEmptyParts);
    for (QString& name : names) {
        EXPECT_TRUE(name.endsWith("\tphone book")) << name.toStdString();
        name.chop(11);
    }
    EXPECT_EQ(names, (QStringList{"Demo ISP", "Demo Busy", "Demo Always Busy", "Demo No Dial Tone",
                                  "Demo No Answer", "Demo Bad Password", "Demo Drop"}));
    EXPECT_TRUE(entries.err.contains("demo phone book"));

    const ProcessResult unknown = obuLine({"dial", "Nobody"});
    EXPECT_EQ(unknown.exitCode, 3) << "no such entry";
    EXPECT_TRUE(unknown.err.contains("error 623")) << unknown.err.toStdString();
    // Nothing up: the same answer as for all.
    EXPECT_EQ(obuLine({"hangup", "Nobody"}).exitCode, 0);
    EXPECT_EQ(obuLine({"hangup", "all"}).exitCode, 0);
    for (const QStringList& usage : {QStringList(), QStringList{"dial"}, QStringList{"frobnicate"},
                                     QStringList{"--phonebook"}})
        EXPECT_EQ(obuLine(usage).exitCode, 2) << usage.join(' ').toStdString();
    const ProcessResult help = obuLine({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage: obu-line"));
    const ProcessResult missing = obuLine({"--phonebook", folder.file("missing.pbk"), "entries"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("error 621"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.file("fifo.pbk")).constData(), 0600), 0);
    const ProcessResult fifo = obuLine({"entries"}, folder.file("fifo.pbk"));
    EXPECT_EQ(fifo.exitCode, 1);
    EXPECT_TRUE(fifo.err.contains("fifo.pbk: not a regular file")) << fifo.err.toStdString();

    folder.write("blocked", "not a folder");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OBU_LINES_DIR", folder.file("blocked"));
    process.setProcessEnvironment(env);
    for (const QStringList& args :
         {QStringList{"connections"}, QStringList{"hangup", "all"}, QStringList{"drop", "all"}}) {
        process.start(QStringLiteral(OBU_LINE_PATH), args);
        ASSERT_TRUE(process.waitForFinished(kDeadlineMs));
        EXPECT_EQ(process.exitCode(), 1) << args.join(' ').toStdString();
        EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("is not a folder"))
            << args.join(' ').toStdString();
        EXPECT_FALSE(process.readAllStandardOutput().contains("No connections."));
    }
}

// The registry on a file system with no room left (the runtime folder is a
// small tmpfs): a clear error, never a bus error. The tmpfs is mounted in a
// mount namespace of its own, so nothing outside sees it.
TEST_F(CrossProcessTest, AFullDiskGivesAClearErrorNotABusError) {
    if (QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -m): not checked";
    QDir(folder.path()).mkdir("small");
    QProcess process;
    process.start(
        "unshare",
        {"-m", "sh", "-c",
         "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 77\n"
         "dd if=/dev/zero of=\"$1/fill\" bs=4k >/dev/null 2>&1\n"
         "OBU_LINES_DIR=\"$1/lines\" \"$2\" connections; echo \"exit $?\"\n"
         "OBU_LINES_DIR=\"$1/lines\" \"$2\" --phonebook \"$3\" dial Fast; echo \"exit $?\"\n",
         "sh", folder.file("small"), QStringLiteral(OBU_LINE_PATH), folder.file("phonebook.pbk")});
    ASSERT_TRUE(process.waitForFinished(kDeadlineMs));
    if (process.exitCode() == 77) GTEST_SKIP() << "cannot mount a tmpfs here: not checked";
    const QString out = QString::fromUtf8(process.readAll());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(out.count("exit 1\n"), 2) << out.toStdString() << err.toStdString();
    EXPECT_EQ(err.count("the disk is full"), 2) << err.toStdString();
}

}  // namespace
}  // namespace obu::test
