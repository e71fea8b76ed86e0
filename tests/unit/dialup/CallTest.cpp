// Call objects against the real phone-book service, with the modem inside the
// process and virtual time: each follows its own call only and says how it ended.
#include <gtest/gtest.h>

#include "dialup/Call.h"
#include "tests/unit/dialup/phonebook/DialUpTestSupport.h"

namespace obu::test {
namespace {

// Every signal of one call, by name.
struct CallLog {
    QStringList events;
    void attach(Call& call) {
        QObject::connect(&call, &Call::stageReached, [this](CallState state) {
            events << QStringLiteral("Stage %1").arg(static_cast<std::uint32_t>(state));
        });
        QObject::connect(&call, &Call::connected, [this] { events << "Connected"; });
        QObject::connect(&call, &Call::ended, [this](CallEnd how, DialUpError error) {
            events << QStringLiteral("Ended %1 %2").arg(static_cast<int>(how)).arg(error);
        });
    }
};

class CallTest : public ::testing::Test {
protected:
    ServiceBench bench;
    LineService service{bench.time, bench.time, bench.paths()};

    void SetUp() override { service.setDeviceFactory(service.simulatedModemFactory()); }
    std::unique_ptr<Call> dial(const QByteArray& entry, CallLog* log) {
        std::unique_ptr<Call> call = service.dial(dialRequest(entry, "user", "secret"));
        if (log) log->attach(*call);
        return call;
    }
    bool settled(const Call& call) {
        return bench.time.advanceUntil([&] { return call.isUp() || call.hasEnded(); }, 60000);
    }
    QString ended(CallEnd how, DialUpError error) {
        return QStringLiteral("Ended %1 %2").arg(static_cast<int>(how)).arg(error);
    }
};

TEST_F(CallTest, ADialTellsEveryStageThroughTheLoopAndARefusalEndsAtOnce) {
    CallLog log;
    std::unique_ptr<Call> call = dial("Fast", &log);
    EXPECT_TRUE(log.events.isEmpty()) << "nothing from inside dial()";
    EXPECT_NE(call->id(), 0u);
    ASSERT_TRUE(settled(*call));
    EXPECT_EQ(log.events, (QStringList{"Stage 0", "Stage 1", "Stage 2", "Stage 3", "Stage 4",
                                       "Stage 5", "Stage 14", "Stage 18", "Connected"}));
    EXPECT_TRUE(call->isUp());

    std::unique_ptr<Call> refused = dial("No Such Entry", nullptr);
    EXPECT_TRUE(refused->hasEnded());
    EXPECT_EQ(refused->end(), CallEnd::Failed);
    EXPECT_EQ(refused->endError(), dialup_error::CannotFindEntry);
}

TEST_F(CallTest, EachEndSaysHowAndAFailedCallLeavesNothingBehind) {
    struct Case {
        QByteArray entry;
        CallEnd how;
        DialUpError error;
    };
    for (const Case& c :
         {Case{"Fast Busy", CallEnd::Failed, dialup_error::LineBusy},
          Case{"Fast Bad Password", CallEnd::Failed, dialup_error::AuthenticationFailure},
          Case{"Fast No Carrier", CallEnd::Failed, dialup_error::NoCarrier}}) {
        SCOPED_TRACE(c.entry.constData());
        CallLog log;
        std::unique_ptr<Call> call = dial(c.entry, &log);
        ASSERT_TRUE(settled(*call));
        EXPECT_EQ(call->end(), c.how);
        EXPECT_EQ(call->endError(), c.error);
        EXPECT_EQ(log.events.last(), ended(c.how, c.error));
        bench.time.advance(100);
        EXPECT_EQ(log.events.count(ended(c.how, c.error)), 1) << "told once";
        LineRecord left;
        EXPECT_FALSE(service.record(call->id(), &left)) << "the failed call's record is released";
    }
}

TEST_F(CallTest, ADropOfItsOwnLineEndsItAndNoOtherCallMovesIt) {
    CallLog keptLog;
    CallLog otherLog;
    std::unique_ptr<Call> kept = dial("Fast", &keptLog);
    ASSERT_TRUE(settled(*kept));
    std::unique_ptr<Call> other = dial("Other Modem", &otherLog);
    ASSERT_TRUE(settled(*other));

    // The other line drops: the kept call does not hear of it.
    ASSERT_EQ(service.dropLine(other->id()), 0u);
    ASSERT_TRUE(bench.time.advanceUntil([&] { return other->hasEnded(); }, 5000));
    EXPECT_EQ(other->end(), CallEnd::Dropped);
    EXPECT_EQ(other->endError(), dialup_error::RemoteDisconnection);
    EXPECT_TRUE(kept->isUp());
    EXPECT_EQ(keptLog.events.last(), "Connected");

    // Another program hangs the kept line up: a drop too, as far as its owner goes.
    ASSERT_EQ(service.hangUp(kept->id()), 0u);
    ASSERT_TRUE(bench.time.advanceUntil([&] { return kept->hasEnded(); }, 5000));
    EXPECT_EQ(kept->end(), CallEnd::Dropped);
}

TEST_F(CallTest, AHangUpHereIsSilentAndAnEndedCallNeverTouchesALaterOneOfItsId) {
    CallLog log;
    std::unique_ptr<Call> call = dial("Fast", &log);
    ASSERT_TRUE(settled(*call));
    EXPECT_EQ(call->hangUp(), 0u);
    EXPECT_EQ(call->end(), CallEnd::HungUpHere);
    bench.time.advance(1000);
    EXPECT_EQ(log.events.last(), "Connected") << "its owner asked: no signal";
    QList<CallInfo> calls;
    ASSERT_EQ(service.calls(&calls), 0u);
    EXPECT_TRUE(calls.isEmpty());

    // A call followed from the list; once it ended, hanging it up again or
    // forgetting it leaves a new call alone.
    std::unique_ptr<Call> first = dial("Fast", nullptr);
    ASSERT_TRUE(settled(*first));
    std::unique_ptr<Call> followed =
        service.follow(CallInfo{first->id(), "Fast", {}, {}, CallState::Connected, 0});
    ASSERT_EQ(service.dropLine(first->id()), 0u);
    ASSERT_TRUE(bench.time.advanceUntil([&] { return followed->hasEnded(); }, 5000));
    std::unique_ptr<Call> second = dial("Fast", nullptr);
    ASSERT_TRUE(settled(*second));
    EXPECT_EQ(followed->hangUp(), 0u);
    service.forget(second->id());
    EXPECT_TRUE(second->isUp());
    ASSERT_EQ(service.calls(&calls), 0u);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].id, second->id());
}

TEST_F(CallTest, DestroyingACallLeavesItsConnectionUp) {
    CallId id = 0;
    {
        std::unique_ptr<Call> call = dial("Fast", nullptr);
        ASSERT_TRUE(settled(*call));
        id = call->id();
    }
    bench.time.advance(1000);
    CallInfo info;
    ASSERT_EQ(service.callStatus(id, &info), 0u);
    EXPECT_EQ(info.state, CallState::Connected);
}

}  // namespace
}  // namespace obu::test
