// The dial-up service in one process, driven by virtual time: stages and their
// timing, failures at their stages, the registry seen by a second service on
// the same folder (as another process would), busy lines, the provider
// hanging up, and a folder that cannot be used.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "dialup/phonebook/ConnectionRegistry.h"
#include "tests/unit/dialup/phonebook/DialUpTestSupport.h"

namespace obu::test {
namespace {

class LineServiceTest : public ::testing::Test {
protected:
    ServiceBench bench;
    std::unique_ptr<LineService> service = bench.service();

    CallId dial(const QByteArray& entry, Recorder& recorder,
                DialUpError expect = dialup_error::None, const QByteArray& user = {},
                const QByteArray& password = {}) {
        CallId h = 0xDEAD;
        EXPECT_EQ(dialFollowed(*service, dialRequest(entry, user, password), recorder, &h), expect)
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
    const CallId h = dial("Demo ISP", r);
    ASSERT_NE(h, 0u);
    // Nothing is delivered from inside the dial call itself.
    EXPECT_TRUE(r.got.empty());
    const std::int64_t start = bench.time.elapsedMs();
    ASSERT_TRUE(runUntilEnded(r));
    const std::int64_t took = bench.time.elapsedMs() - start;
    EXPECT_GE(took, 3000);
    EXPECT_LE(took, 5000);
    EXPECT_EQ(r.states(), (std::vector<CallState>{
                              CallState::OpenPort, CallState::PortOpened, CallState::ConnectDevice,
                              CallState::DeviceConnected, CallState::AllDevicesConnected,
                              CallState::Authenticate, CallState::Authenticated,
                              CallState::Projected, CallState::Connected}));
    for (const Notification& n : r.got) {
        EXPECT_EQ(n.error, 0u);
    }
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, h);
    EXPECT_EQ(list[0].entry, "Demo ISP");
    EXPECT_EQ(list[0].deviceName, "Simulated Modem");
    EXPECT_EQ(list[0].deviceType, "modem");
    DialUpError result = 0;
    const CallInfo s = status(*service, h, &result);
    EXPECT_EQ(result, dialup_error::None);
    EXPECT_EQ(s.state, CallState::Connected);
    EXPECT_EQ(s.error, 0u);
    // No more notifications after the connection is made.
    const std::size_t seen = r.got.size();
    bench.time.advance(120000);
    EXPECT_EQ(r.got.size(), seen);
}

TEST_F(LineServiceTest,
       EachFailureArrivesAsTheNotificationOfItsStageAndStaysOnTheHandleUntilHungUp) {
    const struct {
        const char* entry;
        CallState state;
        DialUpError error;
    } cases[] = {
        {"Fast Busy", CallState::ConnectDevice, dialup_error::LineBusy},
        {"Fast No Dial Tone", CallState::ConnectDevice, dialup_error::NoDialTone},
        {"Fast No Answer", CallState::ConnectDevice, dialup_error::NoAnswer},
        {"Fast No Carrier", CallState::ConnectDevice, dialup_error::NoCarrier},
        {"Fast Modem Error", CallState::ConnectDevice, dialup_error::FromDevice},
        {"Fast Bad Password", CallState::Authenticate, dialup_error::AuthenticationFailure},
        {"Fast Line Drop", CallState::Authenticate, dialup_error::PortDisconnected},
        {"Fast PPP Timeout", CallState::Projected, dialup_error::PppTimeout},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        Recorder r;
        const CallId h = dial(c.entry, r);
        ASSERT_TRUE(runUntilEnded(r));
        EXPECT_EQ(r.got.back().state, c.state);
        EXPECT_EQ(r.got.back().error, c.error);
        // Exactly one failure notification, and nothing after it.
        bench.time.advance(5000);
        EXPECT_EQ(std::count_if(r.got.begin(), r.got.end(), [](auto& n) { return n.error != 0; }),
                  1);
        EXPECT_EQ(r.got.back().error, c.error);
        EXPECT_TRUE(enumerate(*service).empty());
        DialUpError result = 0;
        const CallInfo s = status(*service, h, &result);
        EXPECT_EQ(result, dialup_error::None);
        EXPECT_EQ(s.state, c.state);
        EXPECT_EQ(s.error, c.error);
        EXPECT_EQ(service->hangUp(h), dialup_error::None);
        status(*service, h, &result);
        EXPECT_EQ(result, dialup_error::InvalidCall);
        EXPECT_EQ(service->hangUp(h), dialup_error::InvalidCall);
    }
}

TEST_F(LineServiceTest, TheServerChecksTheAccountWhenTheEntryNamesOne) {
    Recorder wrong;
    const CallId h1 = dial("Fast Account", wrong, dialup_error::None, "alice", "guess");
    ASSERT_TRUE(runUntilEnded(wrong));
    EXPECT_EQ(wrong.got.back().error, dialup_error::AuthenticationFailure);
    service->hangUp(h1);
    Recorder right;
    dial("Fast Account", right, dialup_error::None, "alice", "s3cret");
    ASSERT_TRUE(runUntilEnded(right));
    EXPECT_EQ(right.got.back().state, CallState::Connected);
    // The record keeps the user name but never the password.
    const QByteArray records =
        bench.folder.read("lines/" + QString::asprintf("conn-%08X", enumerate(*service)[0].id));
    EXPECT_TRUE(records.contains("user=alice"));
    EXPECT_FALSE(records.contains("s3cret"));
}

TEST_F(LineServiceTest, ABusyCountIsKeptByTheLineAcrossDialsAndServicesAndResetsWhenItAnswers) {
    const auto outcome = [&](LineService& s) {
        Recorder r;
        DialRequest p = dialRequest("Fast Twice Busy");
        CallId h = 0;
        EXPECT_EQ(dialFollowed(s, p, r, &h), dialup_error::None);
        EXPECT_TRUE(runUntilEnded(r));
        const DialUpError error = r.got.back().error;
        s.hangUp(h);
        return error;
    };
    EXPECT_EQ(outcome(*service), dialup_error::LineBusy);
    {
        // Another program dials the same line next: still counted.
        auto other = bench.service();
        EXPECT_EQ(outcome(*other), dialup_error::LineBusy);
    }
    EXPECT_EQ(outcome(*service), 0u);
    EXPECT_EQ(outcome(*service), dialup_error::LineBusy);
}

TEST_F(LineServiceTest, TheProviderHangsUpAfterTheEntrysTimeAndEveryServiceSeesIt) {
    auto observer = bench.service();
    Recorder r;
    const CallId h = dial("Fast Drop", r);
    ASSERT_TRUE(runUntilEnded(r));
    ASSERT_EQ(enumerate(*observer).size(), 1u);
    bench.time.advance(4000);
    EXPECT_EQ(enumerate(*observer).size(), 1u);
    bench.time.advance(1500);
    EXPECT_TRUE(enumerate(*observer).empty());
    EXPECT_TRUE(enumerate(*service).empty());
    // The dialing process still reads why its connection ended.
    DialUpError result = 0;
    const CallInfo s = status(*service, h, &result);
    EXPECT_EQ(result, dialup_error::None);
    EXPECT_EQ(s.state, CallState::Disconnected);
    EXPECT_EQ(s.error, dialup_error::RemoteDisconnection);
    // The modem is free again.
    Recorder again;
    dial("Fast", again);
    ASSERT_TRUE(runUntilEnded(again));
    EXPECT_EQ(again.got.back().state, CallState::Connected);
}

TEST_F(LineServiceTest, OneModemCarriesOneCallAtATime) {
    Recorder first;
    const CallId h1 = dial("Fast", first);
    ASSERT_TRUE(runUntilEnded(first));
    Recorder second;
    const CallId h2 = dial("Fast Busy", second);
    EXPECT_NE(h2, 0u);
    bench.time.advance(10);
    ASSERT_EQ(second.got.size(), 1u);
    EXPECT_EQ(second.got[0].state, CallState::OpenPort);
    EXPECT_EQ(second.got[0].error, dialup_error::PortNotAvailable);
    // Another device is free.
    Recorder isdn;
    dial("Other Modem", isdn);
    ASSERT_TRUE(runUntilEnded(isdn));
    EXPECT_EQ(isdn.got.back().state, CallState::Connected);
    // The refused call is not listed; the others are, oldest first.
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].entry, "Fast");
    EXPECT_EQ(list[1].entry, "Other Modem");
    // Once the first call is hung up, the modem dials again.
    service->hangUp(h1);
    service->hangUp(h2);
    Recorder third;
    dial("Fast", third);
    ASSERT_TRUE(runUntilEnded(third));
    EXPECT_EQ(third.got.back().state, CallState::Connected);
}

TEST_F(LineServiceTest, ADialInProgressEndedByAnotherProgramTellsTheDialerAndStops) {
    auto other = bench.service();
    Recorder hungUp;
    const CallId h = dial("Slow", hungUp);
    bench.time.advance(1000);
    ASSERT_EQ(other->lines().size(), 1u);
    EXPECT_TRUE(other->lines()[0].dialing());
    EXPECT_EQ(enumerate(*other).size(), 1u);  // a dial in progress is listed too
    EXPECT_EQ(other->hangUp(h), dialup_error::None);
    ASSERT_TRUE(runUntilEnded(hungUp, 70000));
    EXPECT_EQ(hungUp.got.back().error, dialup_error::Disconnection);

    Recorder dropped;
    const CallId h2 = dial("Slow", dropped);
    bench.time.advance(1000);
    EXPECT_EQ(other->dropLine(h2), dialup_error::None);
    ASSERT_TRUE(runUntilEnded(dropped, 70000));
    EXPECT_EQ(dropped.got.back().error, dialup_error::RemoteDisconnection);
    EXPECT_TRUE(other->lines().empty());
}

TEST_F(LineServiceTest, ConnectionsOutliveTheServiceThatDialedThemButDialsInProgressDoNot) {
    CallId up = 0;
    {
        auto dialer = bench.service();
        Recorder r;
        DialRequest p = dialRequest("Fast");
        ASSERT_EQ(dialFollowed(*dialer, p, r, &up), 0u);
        ASSERT_TRUE(runUntilEnded(r));
        Recorder slow;
        DialRequest q = dialRequest("Other Modem");
        CallId inProgress = 0;
        ASSERT_EQ(dialFollowed(*dialer, q, slow, &inProgress), 0u);
        bench.time.advance(50);
    }
    const auto list = enumerate(*service);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, up);
    EXPECT_EQ(service->lines().size(), 1u);
    // Anyone may hang it up with the handle it enumerated.
    EXPECT_EQ(service->hangUp(list[0].id), dialup_error::None);
    EXPECT_TRUE(enumerate(*service).empty());
}

TEST_F(LineServiceTest, AStageStillQueuedWhenTheCallIsHungUpIsNotAnnounced) {
    Recorder r;
    const CallId h = dial("Fast", r);
    EXPECT_EQ(service->hangUp(h), dialup_error::None);  // OpenPort is still queued
    bench.time.advance(2000);
    EXPECT_TRUE(r.got.empty());
    EXPECT_TRUE(enumerate(*service).empty());
}

TEST_F(LineServiceTest, RefusesBadCallsWithTheServicesCodes) {
    Recorder r;
    EXPECT_EQ(dial("No Such Entry", r, dialup_error::CannotFindEntry), 0u);
    DialRequest p = dialRequest("Fast");
    CallId h = 7;
    EXPECT_EQ(service->dial(p, nullptr), dialup_error::InvalidParameter);
    p.phoneBook = bench.folder.file("missing.pbk");
    EXPECT_EQ(service->dial(p, &h), dialup_error::CannotOpenPhoneBook);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(service->hangUp(0), dialup_error::InvalidCall);
    EXPECT_EQ(service->hangUp(0x12345678), dialup_error::InvalidCall);
    DialUpError result = 0;
    status(*service, 0, &result);
    EXPECT_EQ(result, dialup_error::InvalidCall);
    bench.time.advance(1000);
    EXPECT_TRUE(r.got.empty());
}

TEST_F(LineServiceTest, AFolderThatCannotBeUsedGivesAnErrorNotACrash) {
    bench.folder.write("blocked", "a file where the folder should be");
    LineService blocked(bench.time, bench.time,
                        {bench.folder.file("phonebook.pbk"), bench.folder.file("blocked")});
    Recorder r;
    DialRequest p = dialRequest("Fast");
    CallId h = 0;
    EXPECT_EQ(dialFollowed(blocked, p, r, &h), dialup_error::Unknown);
    EXPECT_EQ(h, 0u);
    EXPECT_FALSE(blocked.problem().isEmpty());
    DialUpError result = 0;
    enumerate(blocked, &result);
    EXPECT_EQ(result, dialup_error::Unknown);
    // Entries still list: the phone book is not in that folder.
    QList<EntryInfo> entries;
    EXPECT_EQ(blocked.entries({}, &entries), dialup_error::None);
    EXPECT_EQ(entries.size(), 14);
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
    DialUpError result = 0;
    enumerate(linked, &result);
    EXPECT_EQ(result, dialup_error::Unknown);
    EXPECT_TRUE(linked.problem().contains("not a folder"));
}

// Someone removes the folder, or shrinks its state file, while services run
// (a cleaner of /tmp, a user tidying up): the next call makes it afresh, and
// a shrunk file never faults the process that reads it.
TEST_F(LineServiceTest, ARemovedFolderOrAShrunkStateFileIsMadeAfreshWithoutACrash) {
    Recorder first;
    const CallId h = dial("Fast", first);
    ASSERT_TRUE(runUntilEnded(first));
    ASSERT_EQ(enumerate(*service).size(), 1u);
    ASSERT_TRUE(QDir(bench.folder.file("lines")).removeRecursively());
    Recorder second;
    const CallId again = dial("Fast", second);
    ASSERT_NE(again, 0u);
    ASSERT_TRUE(runUntilEnded(second));
    EXPECT_EQ(second.got.back().error, 0u);
    EXPECT_EQ(second.states().back(), CallState::Connected);
    // Another process finds the call in the folder made anew.
    auto other = bench.service();
    ASSERT_EQ(enumerate(*other).size(), 1u);
    EXPECT_EQ(enumerate(*other)[0].id, again);
    EXPECT_NE(again, h);

    // The state file cut to nothing under both of them.
    const QByteArray state = QFile::encodeName(bench.folder.file("lines/state"));
    ASSERT_EQ(::truncate(state.constData(), 0), 0);
    for (int i = 0; i < 3; ++i) {
        DialUpError result = 0;
        EXPECT_EQ(enumerate(*service, &result).size(), 1u);
        EXPECT_EQ(result, dialup_error::None);
        EXPECT_EQ(enumerate(*other, &result).size(), 1u);
    }
    EXPECT_EQ(QFileInfo(bench.folder.file("lines/state")).size(), 4096);
    // Changes still reach the other process.
    EXPECT_EQ(service->hangUp(again), dialup_error::None);
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
    DialRequest p = dialRequest("Fast");
    CallId h = 0;
    ASSERT_EQ(dialFollowed(homeService, p, r, &h), 0u);
    EXPECT_TRUE(QFileInfo(fromHome + "/state").isFile());
    homeService.hangUp(h);
}

TEST_F(LineServiceTest, ErrorTextsCoverEveryCodeAndFitTheStatusLine) {
    const DialUpError codes[] = {6,   8,   87,  619, 621, 622, 623, 628, 629,
                                 633, 635, 651, 676, 678, 679, 680, 691, 718};
    for (DialUpError code : codes) {
        const QString text = service->errorText(code);
        EXPECT_GT(text.size(), 10) << code;
        EXPECT_LT(text.size(), 100) << code;
    }
    EXPECT_TRUE(service->errorText(12345).isEmpty());
    EXPECT_EQ(service->errorText(dialup_error::LineBusy), "The line is busy.");
}

TEST_F(LineServiceTest, AScriptedDeviceIsDrivenAndRelayedLikeTheModem) {
    service->setDeviceFactory([this](const PhoneBookEntry&) {
        return std::make_unique<ScriptedModem>(
            bench.time, std::vector<ScriptedModem::Step>{{10, CallState::OpenPort, 0},
                                                         {10, CallState::Projected, 0},
                                                         {10, CallState::Connected, 0}});
    });
    Recorder r;
    const CallId h = dial("Fast", r);
    ASSERT_TRUE(runUntilEnded(r));
    EXPECT_EQ(r.states(), (std::vector<CallState>{CallState::OpenPort, CallState::Projected,
                                                  CallState::Connected}));
    EXPECT_EQ(enumerate(*service).at(0).id, h);
}

}  // namespace
}  // namespace obu::test
