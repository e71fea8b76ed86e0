#include "platform/HandOver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "platform/Dispatcher.h"
#include "platform/Errors.h"
#include "platform/QtEventLoop.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/unit/timing/RealLoop.h"

using namespace std::chrono_literals;

namespace obu::test {
namespace {

class HandOverTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = application();
    QtEventLoop loop_;
    Watchdog watchdog_{"hand-over test"};
};

TEST_F(HandOverTest, WorkerWaitsUntilTheCallHasRunOnTheLoopThread) {
    HandOver handOver(loop_);
    std::thread::id ranOn;
    int value = 0;
    std::atomic<bool> returned{false};
    bool result = false;
    int seenByWorker = 0;

    std::thread worker([&] {
        result = handOver.call([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        seenByWorker = value;
        returned = true;
    });
    // Without the loop running, the call cannot have run and the worker waits.
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(returned);

    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(seenByWorker, 42);
}

TEST_F(HandOverTest, OnTheLoopThreadTheCallRunsInPlace) {
    HandOver handOver(loop_);
    bool ran = false;
    EXPECT_TRUE(handOver.call([&] { ran = true; }));
    EXPECT_TRUE(ran);

    handOver.cancel();
    ran = false;
    EXPECT_FALSE(handOver.call([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST_F(HandOverTest, CancelReleasesTheWorkerAndDropsTheWaitingCall) {
    auto handOver = std::make_unique<HandOver>(loop_);
    std::atomic<int> ran{0};
    std::optional<bool> first, later;

    std::thread worker([&] { first = handOver->call([&] { ++ran; }); });
    std::this_thread::sleep_for(30ms);  // the call is posted and waits for the loop
    handOver->cancel();
    worker.join();  // released although the loop never ran
    EXPECT_EQ(first, false);

    std::thread again([&] { later = handOver->call([&] { ++ran; }); });
    again.join();
    EXPECT_EQ(later, false);

    pumpFor(50);
    EXPECT_EQ(ran, 0);

    // Destroying the hand-over under a waiting worker releases it too.
    std::optional<bool> third;
    auto other = std::make_unique<HandOver>(loop_);
    std::thread waiting([&, h = other.get()] { third = h->call([&] { ++ran; }); });
    std::this_thread::sleep_for(30ms);
    other.reset();
    waiting.join();
    EXPECT_EQ(third, false);
    pumpFor(50);
    EXPECT_EQ(ran, 0);
}

TEST_F(HandOverTest, CancelInsideTheCallReleasesTheWorkerBeforeTheCallEnds) {
    HandOver handOver(loop_);
    std::atomic<bool> returned{false};
    std::atomic<bool> returnedWhileRunning{false};
    bool result = true;

    std::thread worker([&] {
        result = handOver.call([&] {
            handOver.cancel();
            // The loop's thread stays in the call; the worker must not wait for it.
            for (int i = 0; i < 5000 && !returned; ++i) std::this_thread::sleep_for(1ms);
            returnedWhileRunning = returned.load();
        });
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(returnedWhileRunning);
}

TEST_F(HandOverTest, AnErrorEndsTheCallInTheErrorBoxBeforeTheWorkerGoesOn) {
    ScriptedDialogs dialogs;
    Dispatcher dispatcher(dialogs, "Obu Linekeeper");
    loop_.setDispatcher(&dispatcher);
    HandOver handOver(loop_);
    std::atomic<bool> returned{false};
    bool returnedUnderTheBox = true;
    dialogs.setWhileOpen([&](const ScriptedDialogs::Box&) {
        std::this_thread::sleep_for(30ms);
        returnedUnderTheBox = returned;
    });
    bool result = false;

    std::thread worker([&] {
        result = handOver.call([] { throw ObuError("Unable to write to /x/obu.ini"); });
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    worker.join();
    loop_.setDispatcher(nullptr);

    EXPECT_TRUE(result);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text, "Unable to write to /x/obu.ini.");
    EXPECT_FALSE(returnedUnderTheBox);
}

}  // namespace
}  // namespace obu::test
