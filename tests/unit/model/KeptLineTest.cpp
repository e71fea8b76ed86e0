// The kept line beside the other lines of a machine, and where features meet:
// two modems, a line up before start, Connect during the count, a line
// brought back meanwhile, retries, a source that restarts, a dead link.
#include "model/History.h"
#include "tests/unit/model/LineKeeperBench.h"

namespace obu::test {
namespace {

constexpr const char* kQuick = "PortDelay=100\nDialDelay=200\nAuthDelay=200\nProjectDelay=100\n";

class KeptLineTest : public LineKeeperBench {
protected:
    void SetUp() override {
        LineKeeperBench::SetUp();
        writePhoneBook({"[Line A]\nDevice=Modem A\n", "[Line B]\nDevice=Modem B\n",
                        "[Slow]\nDevice=Modem C\nDialDelay=5000\n"});
    }
    void writePhoneBook(const QList<QByteArray>& sections) {
        QByteArray text;
        for (const QByteArray& section : sections) text += section + kQuick;
        folder.write(QStringLiteral("phonebook.pbk"), text);
    }
    // Another program's call, made and brought up beside the keeper.
    CallId dialElsewhere(const QString& entry) {
        DialRequest request;
        request.entry = entry;
        CallId id = 0;
        EXPECT_EQ(lines.dial(request, &id), 0u);
        EXPECT_TRUE(time.advanceUntil(
            [&] {
                CallInfo info;
                return lines.callStatus(id, &info) == 0 && info.state == CallState::Connected;
            },
            10000));
        return id;
    }
    bool listed(CallId id) {
        QList<CallInfo> calls;
        lines.calls(&calls);
        for (const CallInfo& call : calls)
            if (call.id == id) return true;
        return false;
    }
    CallId keptId() const { return keeper->keptCall() ? keeper->keptCall()->id() : 0; }
};

TEST_F(KeptLineTest, WithTwoModemsOnlyTheKeptLinesDropCountsAndOnlyItIsHungUp) {
    settings.setNumber(Setting::DisconnectMinutes, 1);
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    const CallId lineA = keptId();
    const CallId lineB = dialElsewhere(QStringLiteral("Line B"));

    // The disconnect timer hangs up the kept line, and only it.
    time.advance(61000);
    EXPECT_EQ(logMessages().last(), "Disconnection made by disconnect timer");
    EXPECT_FALSE(listed(lineA));
    EXPECT_TRUE(listed(lineB));

    // The kept line dropped while another is up: the drop is seen all the same.
    keeper->toggleConnection();
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 10000));
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    time.advance(20);
    EXPECT_TRUE(shown.contains("reconnect offered"));
    keeper->cancelReconnect();
    // The other line ending is none of the keeper's business.
    shown.clear();
    ASSERT_EQ(lines.dropLine(lineB), 0u);
    time.advance(20000);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(KeptLineTest, AnotherEntrysLineUpAtStartIsNotAdoptedAndTheChosenOneIsDialled) {
    const CallId lineB = dialElsewhere(QStringLiteral("Line B"));
    keeper->chooseEntry(QStringLiteral("Line A"), {}, {});
    keeper->adoptConnectionAtStart();
    EXPECT_EQ(keeper->state(), LineKeeper::State::Idle);
    EXPECT_TRUE(keeper->readyToConnect());
    EXPECT_TRUE(keeper->mayDialAtAlarm()) << "another entry's line is no session";
    options.toggle(UserOptions::Option::ConnectOnStart);
    keeper->connectOnStart();
    ASSERT_TRUE(connected());
    EXPECT_EQ(status, "Connected to Line A");
    EXPECT_TRUE(listed(lineB));

    // The chosen entry's own line up at start is the one adopted.
    LineKeeper second(platform, settings, log, options);
    second.chooseEntry(QStringLiteral("line a"), {}, {});
    second.adoptConnectionAtStart();
    EXPECT_EQ(second.state(), LineKeeper::State::Up);
    EXPECT_EQ(second.keptCall()->id(), keptId());
    EXPECT_FALSE(second.mayDialAtAlarm());
}

TEST_F(KeptLineTest, ConnectDuringTheCountEndsItAndOnlyOneDialFollows) {
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    time.advance(3000);
    ASSERT_TRUE(keeper->reconnectCountdown().running());
    keeper->toggleConnection();
    EXPECT_FALSE(keeper->reconnectCountdown().running());
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 10000));
    const CallId dialled = keptId();
    time.advance(20000);
    EXPECT_EQ(keptId(), dialled) << "the count's own dial never came";
    EXPECT_EQ(onlyConnection(), dialled);
    EXPECT_FALSE(logMessages().contains("Attempting to Reconnect."));
    EXPECT_EQ(logMessages().count("Connection established to Line A"), 2);
    EXPECT_EQ(shown.count("connected"), 2) << "the extras once for each connection";
}

TEST_F(KeptLineTest, ALineBroughtBackDuringTheCountIsFollowedNotDialledAgain) {
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    time.advance(1000);
    const CallId back = dialElsewhere(QStringLiteral("Line A"));
    time.advance(11000);
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up);
    EXPECT_EQ(keptId(), back);
    EXPECT_TRUE(listed(back)) << "a live line is never taken down";
    EXPECT_FALSE(logMessages().contains("Attempting to Reconnect."));
    EXPECT_TRUE(logMessages().contains("Connection to Line A is up again"));
    EXPECT_EQ(shown.count("connected"), 1) << "no extras for a line the keeper did not dial";
    EXPECT_FALSE(keeper->readyToConnect());

    // It is kept: its own drop counts down again.
    shown.clear();
    ASSERT_EQ(lines.dropLine(back), 0u);
    time.advance(20);
    EXPECT_TRUE(shown.contains("reconnect offered"));
}

TEST_F(KeptLineTest, AFailedReconnectIsTriedAgainWithWaitsThatDoubleUpToTenMinutes) {
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    writePhoneBook({"[Line A]\nDevice=Modem A\nFail=no-answer\n"});
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    int retries = 0;
    QObject::connect(keeper.get(), &LineKeeper::stateChanged, [&](LineKeeper::State state) {
        if (state == LineKeeper::State::WaitingToRetry) ++retries;
    });
    QList<int> waits;
    const QRegularExpression retry(
        QStringLiteral("^Reconnect failed \\(error 678\\): .*; trying again in (\\d+) seconds$"));
    for (int round = 1; round <= 8; ++round) {
        ASSERT_TRUE(time.advanceUntil([&] { return retries == round; }, 700000));
        const QRegularExpressionMatch match = retry.match(logMessages().last());
        ASSERT_TRUE(match.hasMatch()) << logMessages().last().toStdString();
        waits << match.captured(1).toInt();
        EXPECT_EQ(keeper->state(), LineKeeper::State::WaitingToRetry);
        EXPECT_EQ(keeper->reconnectCountdown().secondsLeft(), waits.last());
    }
    EXPECT_EQ(waits, (QList<int>{10, 20, 40, 80, 160, 320, 600, 600}));

    // The line answers again: kept, and a minute up makes the next wait short again.
    writePhoneBook({"[Line A]\nDevice=Modem A\n"});
    ASSERT_TRUE(
        time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 700000));
    time.advance(61000);
    writePhoneBook({"[Line A]\nDevice=Modem A\nFail=no-answer\n"});
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    ASSERT_TRUE(time.advanceUntil(
        [&] { return keeper->state() == LineKeeper::State::WaitingToRetry; }, 30000));
    EXPECT_TRUE(logMessages().last().endsWith("trying again in 10 seconds"));

    // Cancelled while it waits: the session ends.
    keeper->cancelReconnect();
    EXPECT_EQ(keeper->state(), LineKeeper::State::Idle);
    EXPECT_EQ(logMessages().last(), "Reconnect canceled by user");
}

TEST_F(KeptLineTest, ALoginRefusedOrKeepTryingOffEndsTheRetriesWithTheReason) {
    for (const auto& [book, keepTrying, code] :
         {std::tuple{QByteArray("[Line A]\nDevice=Modem A\nFail=login\n"), true, 691},
          std::tuple{QByteArray("[Line A]\nDevice=Modem A\nFail=no-answer\n"), false, 678}}) {
        SCOPED_TRACE(code);
        settings.setFlag(Setting::KeepTrying, keepTrying);
        writePhoneBook({"[Line A]\nDevice=Modem A\n"});
        dial(QStringLiteral("Line A"));
        ASSERT_TRUE(connected());
        writePhoneBook({book});
        ASSERT_EQ(lines.dropLine(keptId()), 0u);
        ASSERT_TRUE(
            time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Idle; }, 30000));
        const QStringList messages = logMessages();
        EXPECT_TRUE(messages.at(messages.size() - 2)
                        .startsWith(QStringLiteral("Dial failed (error %1)").arg(code)))
            << messages.join('|').toStdString();
        EXPECT_EQ(messages.last(), "Connection Terminated by OBU");
        status.clear();
    }
}

TEST_F(KeptLineTest, ADialEndedFromOutsideKeepsItsDialFailedLineAlone) {
    dial(QStringLiteral("Slow"));
    ASSERT_TRUE(time.advanceUntil([&] { return onlyConnection() != 0; }, 1000));
    time.advance(300);
    ASSERT_EQ(lines.hangUp(onlyConnection()), 0u);
    ASSERT_TRUE(
        time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Idle; }, 10000));
    EXPECT_TRUE(logMessages().last().startsWith("Dial failed (error 628)"))
        << logMessages().join('|').toStdString();
    EXPECT_FALSE(logMessages().contains("Connection Terminated by OBU"));
}

TEST_F(KeptLineTest, ASourceThatRestartsIsWaitedForAndTheLineFoundAgain) {
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    const CallId kept = keptId();
    lines.leave();
    time.advance(20);
    EXPECT_EQ(keeper->state(), LineKeeper::State::WaitingForSource);
    EXPECT_TRUE(status.contains("Waiting")) << status.toStdString();
    time.advance(30000);
    EXPECT_FALSE(shown.contains("reconnect offered")) << "a restart is no drop";
    EXPECT_TRUE(listed(kept));

    // Back with the line still up: the session goes on, no extras again.
    lines.comeBack();
    time.advance(20);
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up);
    EXPECT_EQ(keptId(), kept);
    EXPECT_EQ(shown.count("connected"), 1);
    EXPECT_FALSE(itemShowsConnect);

    // Back with it on its way up again (taken down and dialled anew meanwhile):
    // waited for, and kept once up, still without the extras.
    lines.leave();
    time.advance(20);
    ASSERT_EQ(lines.dropLine(kept), 0u);
    DialRequest again;
    again.entry = QStringLiteral("Line A");
    CallId coming = 0;
    ASSERT_EQ(lines.dial(again, &coming), 0u);
    time.advance(150);
    lines.comeBack();
    time.advance(20);
    EXPECT_EQ(keeper->state(), LineKeeper::State::WaitingForSource);
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 5000));
    EXPECT_EQ(keptId(), coming);
    EXPECT_EQ(shown.count("connected"), 1);
    EXPECT_EQ(logMessages().count("Connection established to Line A"), 1) << "said once, at first";
    EXPECT_FALSE(shown.contains("reconnect offered"));
    EXPECT_EQ(
        logMessages().count("The connection's service is back; connection to Line A still up"), 2);

    // Back without it: lost meanwhile, so it counts down as any drop.
    lines.leave();
    time.advance(20);
    ASSERT_EQ(lines.dropLine(coming), 0u);
    lines.comeBack();
    time.advance(19000);
    EXPECT_FALSE(shown.contains("reconnect offered")) << "a source takes its lines back a while";
    time.advance(1100);
    EXPECT_TRUE(shown.contains("reconnect offered"));
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 20000));
    EXPECT_NE(keptId(), coming);
}

TEST_F(KeptLineTest, ALineUpButDeadIsHungUpAfterThreeFailedChecksAndDialledAgain) {
    settings.setText(Setting::CheckHost, QStringLiteral("192.0.2.1:80"));
    settings.setNumber(Setting::CheckSeconds, 60);
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    const CallId first = keptId();
    time.advance(5 * 60000);
    EXPECT_EQ(probe.probed.size(), 5);
    EXPECT_EQ(probe.probed.first(), "192.0.2.1:80");

    // Two failures and an answer: still a good line.
    probe.failure = QStringLiteral("192.0.2.1:80: no answer within 10 seconds");
    time.advance(2 * 60000);
    probe.failure.clear();
    time.advance(60000);
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up);

    probe.failure = QStringLiteral("192.0.2.1:80: no answer within 10 seconds");
    time.advance(3 * 60000);
    EXPECT_EQ(logMessages().last(),
              "The line is up but no traffic passes: 192.0.2.1:80: no answer within 10 seconds");
    EXPECT_FALSE(listed(first)) << "its own line is hung up";
    EXPECT_TRUE(shown.contains("reconnect offered"));
    probe.failure.clear();
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 20000));
    EXPECT_NE(keptId(), first);
}

TEST_F(KeptLineTest, AfterSleepTheLineIsLookedAtAndALineLostMeanwhileCountsDown) {
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    // Woken with the line still there: nothing changes.
    keeper->lookAtLineNow();
    time.advance(100);
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up);
    // Lost while nothing could tell: only the look after sleep finds it.
    lines.loseSilently(keptId());
    time.advance(5000);
    EXPECT_EQ(keeper->state(), LineKeeper::State::Up) << "nothing told it yet";
    keeper->lookAtLineNow();
    time.advance(100);
    EXPECT_EQ(keeper->state(), LineKeeper::State::CountingDown);
    EXPECT_TRUE(shown.contains("reconnect offered"));
}

TEST_F(KeptLineTest, EachSessionOfTheKeptLineGoesIntoTheHistoryWithHowItEnded) {
    platform.logFolder = folder.path() + QLatin1Char('/');
    keeper = std::make_unique<LineKeeper>(platform, settings, log, options);
    QObject::connect(keeper.get(), &LineKeeper::statusChanged,
                     [this](const QString& text) { status = text; });
    dial(QStringLiteral("Line A"));
    ASSERT_TRUE(connected());
    time.advance(90000);
    ASSERT_EQ(lines.dropLine(keptId()), 0u);
    ASSERT_TRUE(time.advanceUntil([&] { return keeper->state() == LineKeeper::State::Up; }, 20000));
    time.advance(30000);
    keeper->toggleConnection();  // the user hangs up

    History history(folder.file(QStringLiteral("history.tsv")));
    const std::vector<HistorySession> sessions = history.read();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].entry, "Line A");
    EXPECT_EQ(sessions[0].ending, "dropped");
    EXPECT_NEAR(sessions[0].seconds(), 90, 1);
    EXPECT_EQ(sessions[1].ending, "hung up");
    EXPECT_NEAR(sessions[1].seconds(), 30, 1);
}

TEST_F(KeptLineTest, TheEntryListOffersTheFirstTwentyNames) {
    QList<QByteArray> sections;
    for (int i = 1; i <= 25; ++i) sections << "[Entry " + QByteArray::number(i) + "]\n";
    writePhoneBook(sections);
    const QStringList names = keeper->readEntryList();
    ASSERT_EQ(names.size(), 20);
    EXPECT_EQ(names.first(), "Entry 1");
    EXPECT_EQ(names.last(), "Entry 20");
}

}  // namespace
}  // namespace obu::test
