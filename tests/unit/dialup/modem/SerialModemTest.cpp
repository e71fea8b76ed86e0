// The serial modem driver against our modem emulator over a real
// pseudo-terminal: every result of a dial, echo and numeric answers, noise,
// a far end that never answers and a modem that never speaks, hanging up with
// "+++" and ATH0, and the UUCP lock of the device.
#include <gtest/gtest.h>

#include "dialup/modem/SerialModem.h"
#include "tests/unit/dialup/modem/SerialTestSupport.h"

namespace obu::test {
namespace {

struct Outcome {
    std::vector<CallState> states;
    DialUpError error = 0;
    CallState failedAt = CallState::OpenPort;
    bool ended = false;
};

class SerialModemTest : public ::testing::Test {
protected:
    TempFolder folder;
    SystemClock clock;
    QtEventLoop loop;
    StagedLink* link = nullptr;
    std::unique_ptr<SerialModem> modem;
    Outcome outcome;

    void SetUp() override { application(); }

    PhoneBookEntry entry(const QByteArray& device, const QByteArray& init = {}) {
        PhoneBookEntry e;
        e.name = "Test";
        e.device = device;
        e.initString = init;
        e.dialTimeoutSeconds = 30;
        return e;
    }
    void dial(const PhoneBookEntry& e, StagedLink::Ppp ppp = StagedLink::Ppp::Connects,
              SerialModem::Timing timing = {}, std::int64_t holder = 0) {
        auto staged = std::make_unique<StagedLink>(e.device, ppp, holder);
        link = staged.get();
        modem =
            std::make_unique<SerialModem>(loop, clock, std::move(staged), folder.path(), timing);
        LineRequest request;
        request.entry = e;
        request.phoneNumber = "555-0100";
        request.userName = "joe";
        request.password = "secret";
        outcome = Outcome{};
        modem->dial(request, [this](CallState state, DialUpError error) {
            outcome.states.push_back(state);
            if (error || state == CallState::Connected) outcome.ended = true;
            if (error) {
                outcome.error = error;
                outcome.failedAt = state;
            }
        });
    }
    bool ended(int ms = 20000) {
        return runUntil([&] { return outcome.ended; }, ms);
    }
    bool settled(int ms = 15000) {
        return runUntil([&] { return !modem->busy(); }, ms);
    }
};

TEST_F(SerialModemTest, ConnectsThroughEveryStageWithTheCommandsOfARealDialer) {
    Emulator emulator(folder, {"--ring-ms", "300", "--reset-ms", "100"});
    ASSERT_FALSE(emulator.pts().isEmpty());
    Sleeper holder;
    dial(entry(emulator.link().toLocal8Bit(), "AT&F&C1&D2"), StagedLink::Ppp::Connects, {},
         holder.pid());
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(
        outcome.states,
        (std::vector<CallState>{
            CallState::OpenPort, CallState::PortOpened, CallState::ConnectDevice,
            CallState::DeviceConnected, CallState::AllDevicesConnected, CallState::Authenticate,
            CallState::Authenticated, CallState::Projected, CallState::Connected}));
    EXPECT_TRUE(emulator.transcript().startsWith("ATZ\nAT&F&C1&D2\nATX4\nATDT5550100\n"))
        << emulator.transcript().constData();
    EXPECT_EQ(link->passwordSeen, "secret");
    EXPECT_TRUE(link->released);
    // The lock now names the process that holds the line, and stays with it.
    EXPECT_EQ(modem->holder().lockFile, UucpLock::lockPath(folder.path(), "modem"));
    EXPECT_EQ(UucpLock::owner(modem->holder().lockFile), holder.pid());
    EXPECT_FALSE(modem->busy());
    modem.reset();
    EXPECT_EQ(UucpLock::owner(UucpLock::lockPath(folder.path(), "modem")), holder.pid());
}

TEST_F(SerialModemTest, EveryFailingResultEndsTheDialWithItsCodeAtConnectDevice) {
    const struct {
        QStringList options;
        QByteArray init;
        bool waitForDialTone;
        DialUpError error;
    } cases[] = {
        {{"--answer", "busy"}, {}, true, dialup_error::LineBusy},
        {{"--answer", "no-dialtone"}, {}, true, dialup_error::NoDialTone},
        // ATX3: the modem dials without waiting for a tone and then finds no carrier.
        {{"--answer", "no-dialtone"}, {}, false, dialup_error::NoCarrier},
        {{"--answer", "no-answer"}, {}, true, dialup_error::NoAnswer},
        {{"--answer", "no-carrier"}, {}, true, dialup_error::NoCarrier},
        {{"--answer", "error"}, {}, true, dialup_error::FromDevice},
        // Digits (V0) and no echo (E0) give the same results.
        {{"--answer", "busy"}, "ATE0V0", true, dialup_error::LineBusy},
        {{"--answer", "no-answer"}, "ATE0V0", true, dialup_error::NoAnswer},
        {{"--answer", "no-dialtone"}, "ATV0", true, dialup_error::NoDialTone},
        // Line noise before every answer is skipped.
        {{"--answer", "busy", "--noise"}, {}, true, dialup_error::LineBusy},
        // An init string the modem refuses.
        {{}, "ATJ1", true, dialup_error::FromDevice},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString() + " " + c.init.toStdString());
        Emulator emulator(folder, QStringList{"--ring-ms", "200", "--reset-ms", "50"} + c.options,
                          QStringLiteral("modem%1").arg(n++));
        PhoneBookEntry e = entry(emulator.link().toLocal8Bit(), c.init);
        e.waitForDialTone = c.waitForDialTone;
        dial(e);
        ASSERT_TRUE(ended());
        EXPECT_EQ(outcome.failedAt, CallState::ConnectDevice);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_FALSE(link->started);
        EXPECT_TRUE(link->abandoned);
        ASSERT_TRUE(settled());
        // Nothing is left locked.
        EXPECT_EQ(UucpLock::owner(UucpLock::lockPath(folder.path(), e.device)), 0);
        EXPECT_FALSE(
            folder.exists(QString::fromLatin1("LCK..") +
                          QString::fromLocal8Bit(e.device.mid(e.device.lastIndexOf('/') + 1))));
    }
}

TEST_F(SerialModemTest, NumericConnectAndNoiseStillConnect) {
    Emulator emulator(folder, {"--ring-ms", "200", "--reset-ms", "50", "--noise"});
    dial(entry(emulator.link().toLocal8Bit(), "ATE0V0"));
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(outcome.states.back(), CallState::Connected);
}

TEST_F(SerialModemTest, AFarEndThatNeverAnswersTimesOutAndAModemThatNeverSpeaksIsReported) {
    {
        Emulator emulator(folder, {"--answer", "silent", "--reset-ms", "50"}, "silent");
        PhoneBookEntry e = entry(emulator.link().toLocal8Bit());
        e.dialTimeoutSeconds = 5;
        QElapsedTimer timer;
        timer.start();
        dial(e);
        ASSERT_TRUE(ended(20000));
        EXPECT_GE(timer.elapsed(), 4900);
        EXPECT_EQ(outcome.failedAt, CallState::ConnectDevice);
        EXPECT_EQ(outcome.error, dialup_error::NoAnswer);
        EXPECT_TRUE(modem->failureDetail().contains("no answer within 5 s"));
        ASSERT_TRUE(settled());
        // The dial was stopped and the modem put on the hook.
        EXPECT_TRUE(emulator.transcript().contains("(dial stopped)\nATH0\n"))
            << emulator.transcript().constData();
    }
    {
        Emulator emulator(folder, {"--mute"}, "mute");
        SerialModem::Timing quick;
        quick.commandTimeoutMs = 400;
        dial(entry(emulator.link().toLocal8Bit()), StagedLink::Ppp::Connects, quick);
        ASSERT_TRUE(ended());
        EXPECT_EQ(outcome.failedAt, CallState::ConnectDevice);
        EXPECT_EQ(outcome.error, dialup_error::PortOrDevice);
        // Asked twice before it counts as silent.
        EXPECT_EQ(emulator.transcript(), "ATZ\nATZ\n");
    }
}

TEST_F(SerialModemTest, HangingUpAnOnlineModemEscapesWithGuardTimesAndSendsATH0) {
    Emulator emulator(folder, {"--ring-ms", "100", "--reset-ms", "50", "--no-echo-data"});
    SerialModem::Timing timing;
    timing.guardMs = 1100;
    dial(entry(emulator.link().toLocal8Bit()), StagedLink::Ppp::Hangs, timing);
    ASSERT_TRUE(runUntil([&] {
        return !outcome.states.empty() && outcome.states.back() == CallState::Authenticate;
    }));
    QElapsedTimer timer;
    timer.start();
    modem->hangUp();
    EXPECT_TRUE(modem->busy());
    ASSERT_TRUE(settled());
    // One guard time of silence before "+++" and one after it.
    EXPECT_GE(timer.elapsed(), 2000);
    EXPECT_TRUE(link->abandoned);
    EXPECT_TRUE(emulator.transcript().endsWith("ATDT5550100\n+++\nATH0\n"))
        << emulator.transcript().constData();
    EXPECT_EQ(modem->sent().mid(modem->sent().size() - 2), (QList<QByteArray>{"+++", "ATH0"}));
    EXPECT_FALSE(folder.exists("LCK..modem"));
    // Nothing is reported after a hang-up.
    const auto seen = outcome.states.size();
    runUntil([] { return false; }, 200);
    EXPECT_EQ(outcome.states.size(), seen);
}

TEST_F(SerialModemTest, APppFailureAfterConnectPutsTheModemBackOnTheHook) {
    Emulator emulator(folder, {"--ring-ms", "100", "--reset-ms", "50", "--no-echo-data"});
    dial(entry(emulator.link().toLocal8Bit()), StagedLink::Ppp::RejectsLogin);
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.failedAt, CallState::Authenticate);
    EXPECT_EQ(outcome.error, dialup_error::AuthenticationFailure);
    EXPECT_EQ(modem->failureDetail(), "refused");
    ASSERT_TRUE(settled());
    EXPECT_TRUE(emulator.transcript().endsWith("+++\nATH0\n")) << emulator.transcript().constData();
}

TEST_F(SerialModemTest, ALockHeldByALiveProcessIsModemInUseAndAStaleOneIsTakenOver) {
    Emulator emulator(folder, {"--ring-ms", "100", "--reset-ms", "50"});
    Sleeper other;
    folder.write("LCK..modem", QByteArray::number(other.pid()).rightJustified(10, ' ') + '\n');
    dial(entry(emulator.link().toLocal8Bit()));
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.states, (std::vector<CallState>{CallState::OpenPort, CallState::OpenPort}));
    EXPECT_EQ(outcome.error, dialup_error::PortNotAvailable);
    EXPECT_TRUE(modem->failureDetail().contains(QString::number(other.pid())));
    EXPECT_TRUE(emulator.transcript().isEmpty());  // the modem was never touched
    ASSERT_TRUE(settled());
    EXPECT_EQ(UucpLock::owner(UucpLock::lockPath(folder.path(), "modem")), other.pid());

    other.end();  // its lock is stale now
    dial(entry(emulator.link().toLocal8Bit()));
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(outcome.states.back(), CallState::Connected);
}

TEST_F(SerialModemTest, AMissingDeviceOrAFileThatIsNoTerminalIsReportedAtOpenPort) {
    dial(entry(folder.file("no-such-tty").toLocal8Bit()));
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.failedAt, CallState::OpenPort);
    EXPECT_EQ(outcome.error, dialup_error::DeviceDoesNotExist);
    EXPECT_TRUE(modem->failureDetail().contains("No such file"));
    ASSERT_TRUE(settled());
    EXPECT_FALSE(folder.exists("LCK..no-such-tty"));
    folder.write("plain", "not a terminal");
    dial(entry(folder.file("plain").toLocal8Bit()));
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.error, dialup_error::DeviceDoesNotExist);
    EXPECT_TRUE(modem->failureDetail().contains("not a serial device"));
}

TEST_F(SerialModemTest, TheModemGoingAwayWhileDialingIsNoCarrier) {
    auto emulator =
        std::make_unique<Emulator>(folder, QStringList{"--answer", "silent", "--reset-ms", "50"});
    dial(entry(emulator->link().toLocal8Bit()));
    ASSERT_TRUE(runUntil([&] { return emulator->transcript().contains("ATDT"); }));
    emulator.reset();  // the device disappears under the dial
    ASSERT_TRUE(ended());
    EXPECT_EQ(outcome.failedAt, CallState::ConnectDevice);
    EXPECT_EQ(outcome.error, dialup_error::NoCarrier);
    ASSERT_TRUE(settled());
}

}  // namespace
}  // namespace obu::test
