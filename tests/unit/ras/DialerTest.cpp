// Dialer against the real dial-up service, with the modem of a phone book (or a
// scripted one for stage sequences that no modem gives) and virtual time.
#include <gtest/gtest.h>

#include <algorithm>

#include "ras/Dialer.h"
#include "tests/unit/ras/RasTestSupport.h"

namespace obu::test {
namespace {

// Records every event of a component, by name.
struct EventLog {
    QStringList events;
    std::vector<std::pair<std::int32_t, QString>> disconnects;

    void attach(Dialer& ras) {
        const auto note = [this](const char* name) {
            return [this, name](Dialer* sender) {
                EXPECT_NE(sender, nullptr);
                events << name;
            };
        };
        ras.setOnConnect(note("Connect"));
        ras.setOnCallBack(note("CallBack"));
        ras.setOnAboutToOpenPort(note("AboutToOpenPort"));
        ras.setOnPortOpened(note("PortOpened"));
        ras.setOnAboutToConnDev(note("AboutToConnDev"));
        ras.setOnDevConnected(note("DevConnected"));
        ras.setOnAllDevsConnected(note("AllDevsConnected"));
        ras.setOnAuthenticate(note("Authenticate"));
        ras.setOnAuthNotify(note("AuthNotify"));
        ras.setOnAuthRetry(note("AuthRetry"));
        ras.setOnAuthCallBack(note("AuthCallBack"));
        ras.setOnAuthChangePassword(note("AuthChangePassword"));
        ras.setOnAuthProject(note("AuthProject"));
        ras.setOnAuthLinkSpeed(note("AuthLinkSpeed"));
        ras.setOnAuthAck(note("AuthAck"));
        ras.setOnReAuthenticate(note("ReAuthenticate"));
        ras.setOnAuthenticated(note("Authenticated"));
        ras.setOnPrepareforCallback(note("PrepareforCallback"));
        ras.setOnWaitForModemReset(note("WaitForModemReset"));
        ras.setOnInteractiveStarted(note("InteractiveStarted"));
        ras.setOnRetryAuth(note("RetryAuth"));
        ras.setOnPasswordExpired(note("PasswordExpired"));
        ras.setOnDisconnect([this](Dialer*, std::int32_t error, const QString& text) {
            events << "Disconnect";
            disconnects.emplace_back(error, text);
        });
    }
};

// The real service, with a spy on what reaches dial().
class SpiedService : public LineService {
public:
    using LineService::LineService;
    DialUpError dial(const DialRequest& request, CallId* id) override {
        lastParams = request;
        ++dials;
        return LineService::dial(request, id);
    }
    DialRequest lastParams;
    int dials = 0;
};

class DialerTest : public ::testing::Test {
protected:
    ServiceBench bench;
    SpiedService service{bench.time, bench.time, bench.paths()};
    Dialer ras{service};
    EventLog log;

    void SetUp() override {
        // Virtual time: the modem inside the process.
        service.setDeviceFactory(service.simulatedModemFactory());
        log.attach(ras);
    }
    bool connectedOrFailed() {
        return bench.time.advanceUntil(
            [&] { return ras.ConnectState() == CallState::Connected || (ras.LastError() != 0); },
            20000);
    }
    void script(std::vector<ScriptedModem::Step> steps) {
        service.setDeviceFactory([this, steps](const PhoneBookEntry&) {
            return std::make_unique<ScriptedModem>(bench.time, steps);
        });
    }
};

TEST_F(DialerTest, StartsIdle) {
    EXPECT_EQ(ras.ConnectionHandle(), 0u);
    EXPECT_EQ(ras.ConnectState(), CallState::OpenPort);
    EXPECT_EQ(ras.RedialAttempts(), 1);
    EXPECT_TRUE(ras.EntryList().isEmpty());
    EXPECT_EQ(ras.GetStatusText(), "Not Active");
    EXPECT_EQ(ras.GetErrorText(676), "");
    EXPECT_EQ(ras.UpdateStatus(), 0);
    ras.setRedialAttempts(0);
    EXPECT_EQ(ras.RedialAttempts(), 0);
}

TEST_F(DialerTest, ADialRaisesTheStageEventsInOrderAndNoneFromInsideDial) {
    ras.setEntryName("Fast");
    ras.setUserName("user");
    ras.setPassword("secret");
    EXPECT_EQ(ras.Dial(), 0);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_NE(ras.ConnectionHandle(), 0u);
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(log.events,
              (QStringList{"AboutToOpenPort", "PortOpened", "AboutToConnDev", "DevConnected",
                           "AllDevsConnected", "Authenticate", "Authenticated", "Connect"}));
    EXPECT_EQ(ras.LastError(), 0);
    EXPECT_EQ(ras.DeviceName(), "Simulated Modem");
    EXPECT_EQ(ras.DeviceType(), "modem");
    EXPECT_EQ(ras.GetStatusText(), "");  // 8192 has no text of its own
    EXPECT_EQ(service.lastParams.userName, "user");
    EXPECT_EQ(service.lastParams.password, "secret");
}

TEST_F(DialerTest, EveryFieldReachesTheService) {
    ras.setEntryName(QString(300, u'E'));
    ras.setPhoneNumber(QString(200, u'5'));
    ras.setCallbackNumber("6");
    ras.setUserName("U");
    ras.setDomain(QString::fromUtf8("é"));
    bench.folder.write("other.pbk", "[Alpha]\n");
    ras.setPhoneBookPath(bench.folder.file("other.pbk"));
    ras.Dial();
    const DialRequest& p = service.lastParams;
    EXPECT_EQ(p.entry, QString(300, u'E'));
    EXPECT_EQ(p.phoneNumber, QString(200, u'5'));
    EXPECT_EQ(p.callbackNumber, "6");
    EXPECT_EQ(p.userName, "U");
    EXPECT_EQ(p.domain, QString::fromUtf8("é"));
    EXPECT_EQ(p.phoneBook, bench.folder.file("other.pbk"));
    // No such entry: refused at once, nothing held.
    EXPECT_EQ(ras.LastError(), 623);
    EXPECT_EQ(ras.ConnectionHandle(), 0u);
}

TEST_F(DialerTest, DialWhileACallIsHeldHangsItUpSilentlyFirst) {
    ras.setEntryName("Fast");
    ras.Dial();
    ASSERT_TRUE(connectedOrFailed());
    const CallId first = ras.ConnectionHandle();
    log.events.clear();
    EXPECT_EQ(ras.Dial(), 0);
    EXPECT_NE(ras.ConnectionHandle(), first);
    EXPECT_TRUE(log.disconnects.empty());
    DialUpError result = 0;
    status(service, first, &result);
    EXPECT_EQ(result, dialup_error::InvalidCall);
    // The modem was free for the new call, which connects.
    ASSERT_TRUE(bench.time.advanceUntil([&] { return log.events.contains("Connect"); }, 5000));
    EXPECT_EQ(enumerate(service).size(), 1u);
    // The same while a dial is still in progress.
    bench.time.advance(0);
    ras.Dial();
    bench.time.advance(150);
    ras.Dial();
    ASSERT_TRUE(
        bench.time.advanceUntil([&] { return ras.ConnectState() == CallState::Connected; }, 5000));
    EXPECT_EQ(service.lines().size(), 1u);
    EXPECT_TRUE(log.disconnects.empty());
}

TEST_F(DialerTest, HangUpEndsTheCallAndAlwaysFiresDisconnectWithAnEmptyText) {
    // With no call held.
    EXPECT_EQ(ras.HangUp(), 0);
    EXPECT_EQ(ras.LastError(), 0);
    ASSERT_EQ(log.disconnects.size(), 1u);
    EXPECT_EQ(log.disconnects[0].first, 6);
    EXPECT_EQ(log.disconnects[0].second, "");

    ras.setEntryName("Fast");
    ras.Dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(ras.HangUp(), 0);
    EXPECT_EQ(ras.ConnectionHandle(), 0u);
    ASSERT_EQ(log.disconnects.size(), 2u);
    EXPECT_EQ(log.disconnects[1].second, "");
    EXPECT_TRUE(enumerate(service).empty());
    // A handle that ended meanwhile: the hang-up's own code lands in LastError.
    ras.Dial();
    ASSERT_TRUE(connectedOrFailed());
    service.hangUp(ras.ConnectionHandle());
    EXPECT_EQ(ras.HangUp(), 6);
    EXPECT_EQ(ras.LastError(), 6);
}

TEST_F(DialerTest, NotificationsAfterAHangUpAreIgnored) {
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(150);
    const CallId call = ras.ConnectionHandle();
    ras.HangUpSilently();
    log.events.clear();
    bench.time.advance(5000);
    EXPECT_TRUE(log.events.isEmpty());
    // A stage of the call it no longer holds is not acted on.
    ras.HandleDialEvent(call, CallState::Connected, 0);
    ras.HandleDialEvent(call, CallState::ConnectDevice, 676);
    bench.time.advance(10);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(ras.LastError(), 0);
    EXPECT_EQ(ras.ConnectState(), CallState::ConnectDevice);
}

TEST_F(DialerTest, AFailureSetsLastErrorFiresNothingAndKeepsTheHandle) {
    ras.setEntryName("Fast Busy");
    ras.Dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(ras.LastError(), 676);
    EXPECT_EQ(log.events, (QStringList{"AboutToOpenPort", "PortOpened", "AboutToConnDev"}));
    EXPECT_NE(ras.ConnectionHandle(), 0u);
    EXPECT_EQ(ras.GetStatusText(), "The line is busy.");
    EXPECT_EQ(ras.LastError(), 676);  // the refresh reads the same failure back
    // The owner's hang-up releases the modem for the next dial.
    ras.HangUp();
    ras.setEntryName("Fast");
    ras.Dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(ras.ConnectState(), CallState::Connected);
}

TEST_F(DialerTest, StatesWithoutAnEventFireNothingButRefreshTheStatus) {
    script({{10, CallState::OpenPort, 0},
            {10, CallState::CallbackSetByCaller, 0},
            {10, CallState::Projected, 0},
            {10, CallState::StartAuthentication, 0},
            {10, CallState::CallbackComplete, 0},
            {10, CallState::LogonNetwork, 0},
            {10, static_cast<CallState>(777), 0}});
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(15);
    EXPECT_EQ(log.events, QStringList{"AboutToOpenPort"});
    ras.setDeviceName("stale");
    const CallState expected[] = {CallState::CallbackSetByCaller, CallState::Projected,
                                  CallState::StartAuthentication, CallState::CallbackComplete,
                                  CallState::LogonNetwork,        static_cast<CallState>(777)};
    for (CallState state : expected) {
        bench.time.advance(10);
        EXPECT_EQ(ras.ConnectState(), state);
        EXPECT_EQ(ras.DeviceName(), "Simulated Modem");
        ras.setDeviceName("stale");
    }
    EXPECT_EQ(log.events, QStringList{"AboutToOpenPort"});
}

TEST_F(DialerTest, AnErrorWinsOverTheStateItComesWith) {
    script({{10, CallState::OpenPort, 0},
            {10, CallState::Connected, dialup_error::AuthenticationFailure}});
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(100);
    EXPECT_EQ(log.events, QStringList{"AboutToOpenPort"});
    EXPECT_EQ(ras.LastError(), 691);
    EXPECT_EQ(ras.GetStatusText(), QString::fromLatin1(dialUpErrorText(691)));
}

TEST_F(DialerTest, EveryStateReachesItsOwnEvent) {
    const std::pair<std::uint32_t, const char*> table[] = {
        {6, "AuthNotify"},         {7, "AuthRetry"},          {8, "AuthCallBack"},
        {9, "AuthChangePassword"}, {10, "AuthProject"},       {11, "AuthLinkSpeed"},
        {12, "AuthAck"},           {13, "ReAuthenticate"},    {15, "PrepareforCallback"},
        {16, "WaitForModemReset"}, {17, "CallBack"},          {4096, "InteractiveStarted"},
        {4097, "RetryAuth"},       {4099, "PasswordExpired"},
    };
    std::vector<ScriptedModem::Step> steps;
    for (const auto& [state, name] : table) steps.push_back({10, static_cast<CallState>(state), 0});
    script(steps);
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(1000);
    QStringList expected;
    for (const auto& [state, name] : table) expected << name;
    EXPECT_EQ(log.events, expected);
}

TEST_F(DialerTest, ADisconnectedNotificationFiresDisconnectWithTheStatusCallsResult) {
    script({{10, CallState::OpenPort, 0}, {10, CallState::Disconnected, 0}});
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(100);
    ASSERT_EQ(log.disconnects.size(), 1u);
    EXPECT_EQ(log.disconnects[0].first, 0);
    EXPECT_EQ(log.disconnects[0].second, "Status Unknown");
    // The handle is still held; the owner releases it.
    EXPECT_NE(ras.ConnectionHandle(), 0u);
}

TEST_F(DialerTest, StatusTextsFollowTheStateAndTheError) {
    script({{10, CallState::OpenPort, 0},
            {10, CallState::PortOpened, 0},
            {10, CallState::ConnectDevice, 0},
            {10, CallState::DeviceConnected, 0},
            {10, CallState::AllDevicesConnected, 0},
            {10, CallState::Authenticate, 0},
            {10, CallState::AuthRetry, 0},
            {10, CallState::Authenticated, 0},
            {10, CallState::WaitForCallback, 0},
            {10, CallState::Connected, 0}});
    const char* texts[] = {"Opening Port",
                           "Port Opened",
                           "Using Device: Second Modem - isdn",
                           "Device is connected",
                           "All Required Devices Connected",
                           "Validating User/Password/Domain",
                           "",
                           "Login Authenticated",
                           "Waiting for Callback",
                           ""};
    ras.setEntryName("Other Modem");
    ras.Dial();
    for (const char* text : texts) {
        bench.time.advance(10);
        EXPECT_EQ(ras.GetStatusText(), QString::fromLatin1(text))
            << static_cast<int>(ras.ConnectState());
    }
    EXPECT_EQ(ras.GetErrorText(12345), "Status Unknown");
    EXPECT_EQ(ras.GetErrorText(678), "The remote computer did not answer.");
    // Someone else hangs the connection up: the handle is no longer valid.
    service.hangUp(ras.ConnectionHandle());
    EXPECT_EQ(ras.GetStatusText(), "Invalid Handle");
    EXPECT_EQ(ras.LastError(), 6);
}

TEST_F(DialerTest, AHandlerThatHangsUpInsideItsEventEndsTheCallCleanly) {
    ras.setOnPortOpened([this](Dialer* sender) {
        log.events << "PortOpened";
        sender->HangUp();
    });
    ras.setEntryName("Fast");
    ras.Dial();
    bench.time.advance(5000);
    EXPECT_EQ(log.events, (QStringList{"AboutToOpenPort", "PortOpened", "Disconnect"}));
    EXPECT_EQ(ras.ConnectionHandle(), 0u);
    EXPECT_TRUE(service.lines().empty());
}

TEST_F(DialerTest, SettingThePhoneBookPathRefillsTheListAtOnce) {
    bench.folder.write("other.pbk", "[Alpha]\n[Beta]\n");
    ras.setPhoneBookPath(bench.folder.file("other.pbk"));
    EXPECT_EQ(ras.EntryList(), (QStringList{"Alpha", "Beta"}));
    // The same path again reads the file again.
    bench.folder.write("other.pbk", "[Gamma]\n");
    ras.setPhoneBookPath(bench.folder.file("other.pbk"));
    EXPECT_EQ(ras.EntryList(), QStringList{"Gamma"});
    // Dialing uses that phone book.
    ras.setEntryName("Gamma");
    EXPECT_EQ(ras.Dial(), 0);
    ras.setEntryName("Fast");
    EXPECT_EQ(ras.Dial(), 623);
}

TEST_F(DialerTest, DestroyingTheComponentLeavesTheConnectionUp) {
    CallId handle = 0;
    {
        Dialer owner(service);
        owner.setEntryName("Fast");
        owner.Dial();
        ASSERT_TRUE(bench.time.advanceUntil(
            [&] { return owner.ConnectState() == CallState::Connected; }, 5000));
        handle = owner.ConnectionHandle();
    }
    auto observer = bench.service();
    const auto list = enumerate(*observer);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, handle);
    // Destroyed in the middle of a dial: the dial goes on without anyone to tell.
    {
        Dialer owner(service);
        owner.setEntryName("Other Modem");
        owner.Dial();
        bench.time.advance(50);
    }
    bench.time.advance(5000);
    EXPECT_EQ(enumerate(*observer).size(), 2u);
}

}  // namespace
}  // namespace obu::test
