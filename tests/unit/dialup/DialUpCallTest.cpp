// DialUpCall against the real dial-up service, with the modem of a phone book
// (or a scripted one for stage sequences that no modem gives) and virtual time.
#include <gtest/gtest.h>

#include "dialup/DialUpCall.h"
#include "tests/unit/dialup/phonebook/DialUpTestSupport.h"

namespace obu::test {
namespace {

// Records every signal of a call, by name.
struct SignalLog {
    QStringList events;
    std::vector<std::pair<DialUpError, QString>> failures;

    void attach(DialUpCall& call) {
        QObject::connect(&call, &DialUpCall::stageReached, [this](CallState state) {
            events << QStringLiteral("Stage %1").arg(static_cast<std::uint32_t>(state));
        });
        QObject::connect(&call, &DialUpCall::connected, [this] { events << "Connected"; });
        QObject::connect(&call, &DialUpCall::disconnected, [this] { events << "Disconnected"; });
        QObject::connect(&call, &DialUpCall::failed,
                         [this](DialUpError error, const QString& text) {
                             events << "Failed";
                             failures.emplace_back(error, text);
                         });
    }
};

// The real service, with a spy on what reaches dial().
class SpiedService : public LineService {
public:
    using LineService::LineService;
    DialUpError dial(const DialRequest& request, CallId* id) override {
        lastRequest = request;
        return LineService::dial(request, id);
    }
    DialRequest lastRequest;
};

class DialUpCallTest : public ::testing::Test {
protected:
    ServiceBench bench;
    SpiedService service{bench.time, bench.time, bench.paths()};
    DialUpCall call{service};
    SignalLog log;

    void SetUp() override {
        // Virtual time: the modem inside the process.
        service.setDeviceFactory(service.simulatedModemFactory());
        log.attach(call);
    }
    bool connectedOrFailed() {
        return bench.time.advanceUntil(
            [&] { return call.state() == CallState::Connected || call.lastError() != 0; }, 20000);
    }
    void script(std::vector<ScriptedModem::Step> steps) {
        service.setDeviceFactory([this, steps](const PhoneBookEntry&) {
            return std::make_unique<ScriptedModem>(bench.time, steps);
        });
    }
};

TEST_F(DialUpCallTest, ADialSignalsEveryStageInOrderAndNoneFromInsideDial) {
    call.setEntryName("Fast");
    call.setUserName("user");
    call.setPassword("secret");
    EXPECT_EQ(call.dial(), 0u);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_NE(call.callId(), 0u);
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Stage 1", "Stage 2", "Stage 3", "Stage 4",
                                       "Stage 5", "Stage 14", "Stage 18", "Connected"}));
    EXPECT_EQ(call.lastError(), 0u);
    EXPECT_EQ(service.lastRequest.entry, "Fast");
    EXPECT_EQ(service.lastRequest.userName, "user");
    EXPECT_EQ(service.lastRequest.password, "secret");
    // No such entry: refused at once, nothing held.
    call.setEntryName("No Such Entry");
    EXPECT_EQ(call.dial(), dialup_error::CannotFindEntry);
    EXPECT_EQ(call.callId(), 0u);
}

TEST_F(DialUpCallTest, DialWhileACallIsHeldHangsItUpSilentlyFirst) {
    call.setEntryName("Fast");
    call.dial();
    ASSERT_TRUE(connectedOrFailed());
    const CallId first = call.callId();
    log.events.clear();
    EXPECT_EQ(call.dial(), 0u);
    EXPECT_NE(call.callId(), first);
    EXPECT_FALSE(log.events.contains("Disconnected"));
    DialUpError result = 0;
    status(service, first, &result);
    EXPECT_EQ(result, dialup_error::InvalidCall);
    // The modem was free for the new call, which connects.
    ASSERT_TRUE(bench.time.advanceUntil([&] { return log.events.contains("Connected"); }, 5000));
    EXPECT_EQ(enumerate(service).size(), 1u);
    // The same while a dial is still in progress.
    call.dial();
    bench.time.advance(150);
    call.dial();
    ASSERT_TRUE(
        bench.time.advanceUntil([&] { return call.state() == CallState::Connected; }, 5000));
    EXPECT_EQ(service.lines().size(), 1u);
    EXPECT_FALSE(log.events.contains("Disconnected"));
}

TEST_F(DialUpCallTest, HangUpEndsTheCallAndAlwaysSaysDisconnected) {
    EXPECT_EQ(call.hangUp(), 0u);  // with no call held
    EXPECT_EQ(log.events, QStringList{"Disconnected"});

    call.setEntryName("Fast");
    call.dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(call.hangUp(), 0u);
    EXPECT_EQ(call.callId(), 0u);
    EXPECT_EQ(log.events.count("Disconnected"), 2);
    EXPECT_TRUE(enumerate(service).empty());
    // A call that ended meanwhile: the hang-up's own code lands in lastError.
    call.dial();
    ASSERT_TRUE(connectedOrFailed());
    service.hangUp(call.callId());
    EXPECT_EQ(call.hangUp(), dialup_error::InvalidCall);
    EXPECT_EQ(call.lastError(), dialup_error::InvalidCall);
}

TEST_F(DialUpCallTest, StagesOfACallNoLongerHeldAreIgnored) {
    call.setEntryName("Fast");
    call.dial();
    bench.time.advance(150);
    const CallId old = call.callId();
    call.hangUpSilently();
    log.events.clear();
    bench.time.advance(5000);
    EXPECT_TRUE(log.events.isEmpty());
    // Nor are those of another call of the same service.
    emit service.callStateChanged(old, CallState::Connected, 0);
    emit service.callStateChanged(old + 1, CallState::ConnectDevice, 676);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(call.lastError(), 0u);
    EXPECT_EQ(call.state(), CallState::ConnectDevice);
}

TEST_F(DialUpCallTest, AFailureSaysWhyAndKeepsTheCallForItsOwnerToRelease) {
    call.setEntryName("Fast Busy");
    call.dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(call.lastError(), dialup_error::LineBusy);
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Stage 1", "Stage 2", "Failed"}));
    ASSERT_EQ(log.failures.size(), 1u);
    EXPECT_EQ(log.failures[0].first, dialup_error::LineBusy);
    EXPECT_EQ(log.failures[0].second, "The line is busy.");
    EXPECT_NE(call.callId(), 0u);
    // The owner's hang-up releases the modem for the next dial.
    call.hangUp();
    call.setEntryName("Fast");
    call.dial();
    ASSERT_TRUE(connectedOrFailed());
    EXPECT_EQ(call.state(), CallState::Connected);
}

TEST_F(DialUpCallTest, AnErrorWinsOverTheStateItComesWithAndAnUnknownCodeHasAText) {
    script({{10, CallState::OpenPort, 0}, {10, CallState::Connected, 12345}});
    call.setEntryName("Fast");
    call.dial();
    bench.time.advance(100);
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Failed"}));
    EXPECT_EQ(call.lastError(), 12345u);
    EXPECT_EQ(log.failures.at(0).second, "Status Unknown");
}

TEST_F(DialUpCallTest, ADisconnectedStageSaysDisconnectedAndTheCallIsStillHeld) {
    script({{10, CallState::OpenPort, 0}, {10, CallState::Disconnected, 0}});
    call.setEntryName("Fast");
    call.dial();
    bench.time.advance(100);
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Disconnected"}));
    EXPECT_NE(call.callId(), 0u);
}

TEST_F(DialUpCallTest, AReceiverThatHangsUpAtAStageEndsTheCallCleanly) {
    QObject::connect(&call, &DialUpCall::stageReached, [this](CallState state) {
        if (state == CallState::PortOpened) call.hangUp();
    });
    call.setEntryName("Fast");
    call.dial();
    bench.time.advance(5000);
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Stage 1", "Disconnected"}));
    EXPECT_EQ(call.callId(), 0u);
    EXPECT_TRUE(service.lines().empty());
}

TEST_F(DialUpCallTest, SettingThePhoneBookPathRefillsTheListAndDialsFromThatBook) {
    bench.folder.write("other.pbk", "[Alpha]\n[Beta]\n");
    call.setPhoneBookPath(bench.folder.file("other.pbk"));
    EXPECT_EQ(call.entryList(), (QStringList{"Alpha", "Beta"}));
    bench.folder.write("other.pbk", "[Gamma]\n");
    call.setPhoneBookPath(bench.folder.file("other.pbk"));
    EXPECT_EQ(call.entryList(), QStringList{"Gamma"});
    call.setEntryName("Gamma");
    EXPECT_EQ(call.dial(), 0u);
    EXPECT_EQ(service.lastRequest.phoneBook, bench.folder.file("other.pbk"));
    call.setEntryName("Fast");
    EXPECT_EQ(call.dial(), dialup_error::CannotFindEntry);
}

TEST_F(DialUpCallTest, DestroyingTheCallLeavesTheConnectionUp) {
    CallId id = 0;
    {
        DialUpCall owner(service);
        owner.setEntryName("Fast");
        owner.dial();
        ASSERT_TRUE(
            bench.time.advanceUntil([&] { return owner.state() == CallState::Connected; }, 5000));
        id = owner.callId();
    }
    auto observer = bench.service();
    const auto list = enumerate(*observer);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, id);
    // Destroyed in the middle of a dial: the dial goes on without anyone to tell.
    {
        DialUpCall owner(service);
        owner.setEntryName("Other Modem");
        owner.dial();
        bench.time.advance(50);
    }
    bench.time.advance(5000);
    EXPECT_EQ(enumerate(*observer).size(), 2u);
}

}  // namespace
}  // namespace obu::test
