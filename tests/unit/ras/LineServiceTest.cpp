// The dial-up service in one process, driven by virtual time: stages and their
// timing, failures at their stages, the registry seen by a second service on
// the same folder (as another process would), busy lines, the provider
// hanging up, and a folder that cannot be used.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "ras/ConnectionRegistry.h"
#include "tests/unit/ras/RasTestSupport.h"

namespace obu::test {
namespace {

class LineServiceTest : public ::testing::Test {
protected:
    ServiceBench bench;
    std::unique_ptr<LineService> service = bench.service();

    HRASCONN dial(const QByteArray& entry, Recorder& recorder, DWORD expect = ERROR_SUCCESS,
                  const QByteArray& user = {}, const QByteArray& password = {}) {
        RASDIALPARAMSA p = dialParams(entry, user, password);
        HRASCONN h = 0xDEAD;
        EXPECT_EQ(service->RasDialA(nullptr, nullptr, &p, kNotifierWindow, recorder.target(), &h),
                  expect)
            << entry.constData();
        return h;
    }
    bool runUntilEnded(const Recorder& r, int maxMs = 20000) {
        return bench.time.advanceUntil([&] { return r.ended(); }, maxMs);
    }
};

TEST_F(LineServiceTest, ConnectsThroughEveryStageWithPostedNotificationsAndRealisticDefaultTiming) {
    // The demo phone book's ISP, with the default delays.
    bench.folder.write("phonebook.pbk", PhoneBook::demoText());
    Recorder r;
    const HRASCONN h = dial("Demo ISP", r);
    ASSERT_NE(h, 0u);
    // Nothing is delivered from inside the dial call itself.
    EXPECT_TRUE(r.got.empty());
    const std::int64_t start = bench.time.elapsedMs();
    ASSERT_TRUE(runUntilEnded(r));
    const std::int64_t took = bench.time.elapsedMs() - start;
    EXPECT_GE(took, 3000);
    EXPECT_LE(took, 5000);
    EXPECT_EQ(r.states(), (std::vector<DWORD>{RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice,
                                              RASCS_DeviceConnected, RASCS_AllDevicesConnected,
                                              RASCS_Authenticate, RASCS_Authenticated,
                                              RASCS_Projected, RASCS_Connected}));
    for (const Notification& n : r.got) {
        EXPECT_EQ(n.message, kRasDialEventMessage);
        EXPECT_EQ(n.error, 0u);
    }
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].hrasconn, h);
    EXPECT_STREQ(list[0].szEntryName, "Demo ISP");
    EXPECT_STREQ(list[0].szDeviceName, "Simulated Modem");
    EXPECT_STREQ(list[0].szDeviceType, "modem");
    DWORD result = 0;
    const RASCONNSTATUSA s = status(*service, h, &result);
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(s.rasconnstate, RASCS_Connected);
    EXPECT_EQ(s.dwError, 0u);
    // No more notifications after the connection is made.
    const std::size_t seen = r.got.size();
    bench.time.advance(120000);
    EXPECT_EQ(r.got.size(), seen);
}

TEST_F(LineServiceTest,
       EachFailureArrivesAsTheNotificationOfItsStageAndStaysOnTheHandleUntilHungUp) {
    const struct {
        const char* entry;
        DWORD state;
        DWORD error;
    } cases[] = {
        {"Fast Busy", RASCS_ConnectDevice, ERROR_LINE_BUSY},
        {"Fast No Dial Tone", RASCS_ConnectDevice, ERROR_NO_DIALTONE},
        {"Fast No Answer", RASCS_ConnectDevice, ERROR_NO_ANSWER},
        {"Fast No Carrier", RASCS_ConnectDevice, ERROR_NO_CARRIER},
        {"Fast Modem Error", RASCS_ConnectDevice, ERROR_FROM_DEVICE},
        {"Fast Bad Password", RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE},
        {"Fast Line Drop", RASCS_Authenticate, ERROR_PORT_DISCONNECTED},
        {"Fast PPP Timeout", RASCS_Projected, ERROR_PPP_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        Recorder r;
        const HRASCONN h = dial(c.entry, r);
        ASSERT_TRUE(runUntilEnded(r));
        EXPECT_EQ(r.got.back().state, c.state);
        EXPECT_EQ(r.got.back().error, c.error);
        // Exactly one failure notification, and nothing after it.
        bench.time.advance(5000);
        EXPECT_EQ(std::count_if(r.got.begin(), r.got.end(), [](auto& n) { return n.error != 0; }),
                  1);
        EXPECT_EQ(r.got.back().error, c.error);
        EXPECT_TRUE(enumerate(*service).empty());
        DWORD result = 0;
        const RASCONNSTATUSA s = status(*service, h, &result);
        EXPECT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(s.rasconnstate, c.state);
        EXPECT_EQ(s.dwError, c.error);
        EXPECT_EQ(service->RasHangUpA(h), ERROR_SUCCESS);
        status(*service, h, &result);
        EXPECT_EQ(result, ERROR_INVALID_HANDLE);
        EXPECT_EQ(service->RasHangUpA(h), ERROR_INVALID_HANDLE);
    }
}

TEST_F(LineServiceTest, TheServerChecksTheAccountWhenTheEntryNamesOne) {
    Recorder wrong;
    const HRASCONN h1 = dial("Fast Account", wrong, ERROR_SUCCESS, "alice", "guess");
    ASSERT_TRUE(runUntilEnded(wrong));
    EXPECT_EQ(wrong.got.back().error, ERROR_AUTHENTICATION_FAILURE);
    service->RasHangUpA(h1);
    Recorder right;
    dial("Fast Account", right, ERROR_SUCCESS, "alice", "s3cret");
    ASSERT_TRUE(runUntilEnded(right));
    EXPECT_EQ(right.got.back().state, RASCS_Connected);
    // The record keeps the user name but never the password.
    const QByteArray records = bench.folder.read(
        "lines/" + QString::asprintf("conn-%08X", enumerate(*service)[0].hrasconn));
    EXPECT_TRUE(records.contains("user=alice"));
    EXPECT_FALSE(records.contains("s3cret"));
}

TEST_F(LineServiceTest, ABusyCountIsKeptByTheLineAcrossDialsAndServicesAndResetsWhenItAnswers) {
    const auto outcome = [&](LineService& s) {
        Recorder r;
        RASDIALPARAMSA p = dialParams("Fast Twice Busy");
        HRASCONN h = 0;
        EXPECT_EQ(s.RasDialA(nullptr, nullptr, &p, kNotifierWindow, r.target(), &h), ERROR_SUCCESS);
        EXPECT_TRUE(runUntilEnded(r));
        const DWORD error = r.got.back().error;
        s.RasHangUpA(h);
        return error;
    };
    EXPECT_EQ(outcome(*service), ERROR_LINE_BUSY);
    {
        // Another program dials the same line next: still counted.
        auto other = bench.service();
        EXPECT_EQ(outcome(*other), ERROR_LINE_BUSY);
    }
    EXPECT_EQ(outcome(*service), 0u);
    EXPECT_EQ(outcome(*service), ERROR_LINE_BUSY);
}

TEST_F(LineServiceTest, TheProviderHangsUpAfterTheEntrysTimeAndEveryServiceSeesIt) {
    auto observer = bench.service();
    Recorder r;
    const HRASCONN h = dial("Fast Drop", r);
    ASSERT_TRUE(runUntilEnded(r));
    ASSERT_EQ(enumerate(*observer).size(), 1u);
    bench.time.advance(4000);
    EXPECT_EQ(enumerate(*observer).size(), 1u);
    bench.time.advance(1500);
    EXPECT_TRUE(enumerate(*observer).empty());
    EXPECT_TRUE(enumerate(*service).empty());
    // The dialing process still reads why its connection ended.
    DWORD result = 0;
    const RASCONNSTATUSA s = status(*service, h, &result);
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(s.rasconnstate, RASCS_Disconnected);
    EXPECT_EQ(s.dwError, ERROR_REMOTE_DISCONNECTION);
    // The modem is free again.
    Recorder again;
    dial("Fast", again);
    ASSERT_TRUE(runUntilEnded(again));
    EXPECT_EQ(again.got.back().state, RASCS_Connected);
}

TEST_F(LineServiceTest, OneModemCarriesOneCallAtATime) {
    Recorder first;
    const HRASCONN h1 = dial("Fast", first);
    ASSERT_TRUE(runUntilEnded(first));
    Recorder second;
    const HRASCONN h2 = dial("Fast Busy", second);
    EXPECT_NE(h2, 0u);
    bench.time.advance(10);
    ASSERT_EQ(second.got.size(), 1u);
    EXPECT_EQ(second.got[0].state, RASCS_OpenPort);
    EXPECT_EQ(second.got[0].error, ERROR_PORT_NOT_AVAILABLE);
    // Another device is free.
    Recorder isdn;
    dial("Other Modem", isdn);
    ASSERT_TRUE(runUntilEnded(isdn));
    EXPECT_EQ(isdn.got.back().state, RASCS_Connected);
    EXPECT_EQ(enumerate(*service).size(), 2u);
    // Once the first call is hung up, the modem dials again.
    service->RasHangUpA(h1);
    service->RasHangUpA(h2);
    Recorder third;
    dial("Fast", third);
    ASSERT_TRUE(runUntilEnded(third));
    EXPECT_EQ(third.got.back().state, RASCS_Connected);
}

TEST_F(LineServiceTest, ADialInProgressEndedByAnotherProgramTellsTheDialerAndStops) {
    auto other = bench.service();
    Recorder hungUp;
    const HRASCONN h = dial("Slow", hungUp);
    bench.time.advance(1000);
    ASSERT_EQ(other->lines().size(), 1u);
    EXPECT_TRUE(other->lines()[0].dialing());
    EXPECT_EQ(enumerate(*other).size(), 1u);  // a dial in progress is listed too
    EXPECT_EQ(other->RasHangUpA(h), ERROR_SUCCESS);
    ASSERT_TRUE(runUntilEnded(hungUp, 70000));
    EXPECT_EQ(hungUp.got.back().error, ERROR_DISCONNECTION);

    Recorder dropped;
    const HRASCONN h2 = dial("Slow", dropped);
    bench.time.advance(1000);
    EXPECT_EQ(other->dropLine(h2), ERROR_SUCCESS);
    ASSERT_TRUE(runUntilEnded(dropped, 70000));
    EXPECT_EQ(dropped.got.back().error, ERROR_REMOTE_DISCONNECTION);
    EXPECT_TRUE(other->lines().empty());
}

TEST_F(LineServiceTest, ConnectionsOutliveTheServiceThatDialedThemButDialsInProgressDoNot) {
    HRASCONN up = 0;
    {
        auto dialer = bench.service();
        Recorder r;
        RASDIALPARAMSA p = dialParams("Fast");
        ASSERT_EQ(dialer->RasDialA(nullptr, nullptr, &p, kNotifierWindow, r.target(), &up), 0u);
        ASSERT_TRUE(runUntilEnded(r));
        Recorder slow;
        RASDIALPARAMSA q = dialParams("Other Modem");
        HRASCONN inProgress = 0;
        ASSERT_EQ(
            dialer->RasDialA(nullptr, nullptr, &q, kNotifierWindow, slow.target(), &inProgress),
            0u);
        bench.time.advance(50);
    }
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].hrasconn, up);
    EXPECT_EQ(service->lines().size(), 1u);
    // Anyone may hang it up with the handle it enumerated.
    EXPECT_EQ(service->RasHangUpA(list[0].hrasconn), ERROR_SUCCESS);
    EXPECT_TRUE(enumerate(*service).empty());
}

TEST_F(LineServiceTest, AMessagePostedToATargetDestroyedBeforeItRunsIsDropped) {
    auto recorder = std::make_unique<Recorder>();
    const NotifyTarget target = recorder->target();
    dial("Fast", *recorder);
    recorder.reset();  // destroys the target with OpenPort still queued
    EXPECT_FALSE(NotifyTargets::exists(target));
    bench.time.advance(2000);  // nothing may call into the destroyed recorder
    EXPECT_EQ(enumerate(*service).size(), 1u);
}

TEST_F(LineServiceTest, RefusesBadCallsWithTheServicesCodes) {
    Recorder r;
    EXPECT_EQ(dial("No Such Entry", r, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY), 0u);
    RASDIALPARAMSA p = dialParams("Fast");
    HRASCONN h = 7;
    p.dwSize = 1060;
    EXPECT_EQ(service->RasDialA(nullptr, nullptr, &p, kNotifierWindow, r.target(), &h),
              ERROR_INVALID_SIZE);
    EXPECT_EQ(h, 0u);
    p.dwSize = sizeof p;
    EXPECT_EQ(service->RasDialA(nullptr, nullptr, &p, 1, r.target(), &h), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(service->RasDialA(nullptr, nullptr, nullptr, kNotifierWindow, r.target(), &h),
              ERROR_INVALID_PARAMETER);
    const QByteArray missing = bench.folder.file("missing.pbk").toLocal8Bit();
    EXPECT_EQ(service->RasDialA(nullptr, missing.constData(), &p, kNotifierWindow, r.target(), &h),
              ERROR_CANNOT_OPEN_PHONEBOOK);
    EXPECT_EQ(service->RasHangUpA(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(service->RasHangUpA(0x12345678), ERROR_INVALID_HANDLE);
    DWORD result = 0;
    status(*service, 0, &result);
    EXPECT_EQ(result, ERROR_INVALID_HANDLE);
    RASCONNSTATUSA wrongSize{};
    wrongSize.dwSize = 64;
    EXPECT_EQ(service->RasGetConnectStatusA(1, &wrongSize), ERROR_INVALID_SIZE);
    bench.time.advance(1000);
    EXPECT_TRUE(r.got.empty());
}

TEST_F(LineServiceTest, EnumerationReportsAShortBufferWithTheCountAndTheSizeNeeded) {
    Recorder a, b;
    dial("Fast", a);
    dial("Other Modem", b);
    ASSERT_TRUE(runUntilEnded(a) && runUntilEnded(b));
    RASCONNA one[1];
    std::memset(one, 0, sizeof one);
    one[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof one;
    DWORD count = 0;
    EXPECT_EQ(service->RasEnumConnectionsA(one, &bytes, &count), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes, 2 * sizeof(RASCONNA));
    // The oldest connection comes first.
    EXPECT_STREQ(one[0].szEntryName, "Fast");
    one[0].dwSize = 400;
    EXPECT_EQ(service->RasEnumConnectionsA(one, &bytes, &count), ERROR_INVALID_SIZE);
}

TEST_F(LineServiceTest, AFolderThatCannotBeUsedGivesAnErrorNotACrash) {
    bench.folder.write("blocked", "a file where the folder should be");
    LineService blocked(bench.time, bench.time,
                        {bench.folder.file("phonebook.pbk"), bench.folder.file("blocked")});
    Recorder r;
    RASDIALPARAMSA p = dialParams("Fast");
    HRASCONN h = 0;
    EXPECT_EQ(blocked.RasDialA(nullptr, nullptr, &p, kNotifierWindow, r.target(), &h),
              ERROR_UNKNOWN);
    EXPECT_EQ(h, 0u);
    EXPECT_FALSE(blocked.problem().isEmpty());
    DWORD result = 0;
    enumerate(blocked, &result);
    EXPECT_EQ(result, ERROR_UNKNOWN);
    // Entries still list: the phone book is not in that folder.
    DWORD bytes = 0, count = 0;
    EXPECT_EQ(blocked.RasEnumEntriesA(nullptr, nullptr, nullptr, &bytes, &count),
              ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 14u);
}

TEST_F(LineServiceTest, TheRegistryFolderIsPrivateToTheUser) {
    Recorder r;
    dial("Fast", r);
    const QFileInfo info(bench.folder.file("lines"));
    EXPECT_EQ(info.permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    // A link laid where the folder should be is refused.
    QFile::link(bench.folder.file("lines"), bench.folder.file("link"));
    LineService linked(bench.time, bench.time,
                       {bench.folder.file("phonebook.pbk"), bench.folder.file("link")});
    DWORD result = 0;
    enumerate(linked, &result);
    EXPECT_EQ(result, ERROR_UNKNOWN);
    EXPECT_TRUE(linked.problem().contains("not a folder"));
}

// Someone removes the folder, or shrinks its state file, while services run
// (a cleaner of /tmp, a user tidying up): the next call makes it afresh, and
// a shrunk file never faults the process that reads it.
TEST_F(LineServiceTest, ARemovedFolderOrAShrunkStateFileIsMadeAfreshWithoutACrash) {
    Recorder first;
    const HRASCONN h = dial("Fast", first);
    ASSERT_TRUE(runUntilEnded(first));
    ASSERT_EQ(enumerate(*service).size(), 1u);
    ASSERT_TRUE(QDir(bench.folder.file("lines")).removeRecursively());
    Recorder second;
    const HRASCONN again = dial("Fast", second);
    ASSERT_NE(again, 0u);
    ASSERT_TRUE(runUntilEnded(second));
    EXPECT_EQ(second.got.back().error, 0u);
    EXPECT_EQ(second.states().back(), RASCS_Connected);
    // Another process finds the call in the folder made anew.
    auto other = bench.service();
    ASSERT_EQ(enumerate(*other).size(), 1u);
    EXPECT_EQ(enumerate(*other)[0].hrasconn, again);
    EXPECT_NE(again, h);

    // The state file cut to nothing under both of them.
    const QByteArray state = QFile::encodeName(bench.folder.file("lines/state"));
    ASSERT_EQ(::truncate(state.constData(), 0), 0);
    for (int i = 0; i < 3; ++i) {
        DWORD result = 0;
        EXPECT_EQ(enumerate(*service, &result).size(), 1u);
        EXPECT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(enumerate(*other, &result).size(), 1u);
    }
    EXPECT_EQ(QFileInfo(bench.folder.file("lines/state")).size(), 4096);
    // Changes still reach the other process.
    EXPECT_EQ(service->RasHangUpA(again), ERROR_SUCCESS);
    EXPECT_TRUE(enumerate(*other).empty());
}

// Without a runtime folder the records go where only the user can make a
// folder, never to a name in /tmp that another user could take first.
TEST_F(LineServiceTest, WithoutARuntimeFolderTheRecordsStayInTheUsersOwnFolders) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    const QByteArray home = qgetenv("HOME");
    const QByteArray lines = qgetenv("OBU_LINES_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("OBU_LINES_DIR");
    qunsetenv("XDG_STATE_HOME");
    qputenv("HOME", bench.folder.path().toLocal8Bit());
    const QString fromHome = ConnectionRegistry::defaultFolder();
    qputenv("XDG_STATE_HOME", bench.folder.file("state").toLocal8Bit());
    const QString fromState = ConnectionRegistry::defaultFolder();
    const auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("XDG_RUNTIME_DIR", runtime);
    restore("XDG_STATE_HOME", state);
    restore("HOME", home);
    restore("OBU_LINES_DIR", lines);
    EXPECT_EQ(fromHome, bench.folder.file(".local/state/obu/lines"));
    EXPECT_EQ(fromState, bench.folder.file("state/obu/lines"));
    // Made with its parents on the first dial.
    LineService homeService(bench.time, bench.time, {bench.folder.file("phonebook.pbk"), fromHome});
    homeService.setDeviceFactory(homeService.simulatedModemFactory());
    Recorder r;
    RASDIALPARAMSA p = dialParams("Fast");
    HRASCONN h = 0;
    ASSERT_EQ(homeService.RasDialA(nullptr, nullptr, &p, kNotifierWindow, r.target(), &h), 0u);
    EXPECT_TRUE(QFileInfo(fromHome + "/state").isFile());
    homeService.RasHangUpA(h);
}

TEST_F(LineServiceTest, ErrorTextsCoverEveryCodeAndFitTheSmallestBuffer) {
    const DWORD codes[] = {6,   8,   87,  603, 610, 619, 621, 622, 623, 628, 629,
                           632, 633, 635, 651, 676, 678, 679, 680, 691, 718};
    for (DWORD code : codes) {
        char buffer[100];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(service->RasGetErrorStringA(code, buffer, sizeof buffer), ERROR_SUCCESS) << code;
        EXPECT_GT(std::strlen(buffer), 10u) << code;
    }
    char buffer[256] = "untouched";
    EXPECT_NE(service->RasGetErrorStringA(12345, buffer, sizeof buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "untouched");
    char tiny[8];
    EXPECT_EQ(service->RasGetErrorStringA(676, tiny, sizeof tiny), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(tiny, "");
    char busy[100];
    service->RasGetErrorStringA(ERROR_LINE_BUSY, busy, sizeof busy);
    EXPECT_STREQ(busy, "The line is busy.");
}

TEST_F(LineServiceTest, AScriptedDeviceIsDrivenAndRelayedLikeTheModem) {
    service->setDeviceFactory([this](const PhoneBookEntry&) {
        return std::make_unique<ScriptedModem>(
            bench.time, std::vector<ScriptedModem::Step>{{10, RASCS_OpenPort, 0},
                                                         {10, RASCS_CallbackSetByCaller, 0},
                                                         {10, RASCS_Connected, 0}});
    });
    Recorder r;
    const HRASCONN h = dial("Fast", r);
    ASSERT_TRUE(runUntilEnded(r));
    EXPECT_EQ(r.states(),
              (std::vector<DWORD>{RASCS_OpenPort, RASCS_CallbackSetByCaller, RASCS_Connected}));
    EXPECT_EQ(enumerate(*service).at(0).hrasconn, h);
}

}  // namespace
}  // namespace obu::test
