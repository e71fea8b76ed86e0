// The threaded timer with its real worker thread on the real Qt loop.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dispatcher.h"
#include "platform/Errors.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/unit/timing/RealLoop.h"
#include "timing/PacingTimer.h"

using namespace std::chrono_literals;

namespace obu::test {
namespace {

class ThreadedTimer : public ::testing::Test {
protected:
    QCoreApplication& app_ = application();
    QtEventLoop loop_;
    SystemClock clock_;
    Watchdog watchdog_{"threaded timer test"};
};

TEST_F(ThreadedTimer, CountsUpOnTheLoopThreadAndNeverStopsByItself) {
    PacingTimer timer(loop_, clock_);
    EXPECT_EQ(timer.threadPriority(), tpHigher);
    EXPECT_FALSE(timer.enabled());

    std::vector<std::int32_t> times;
    bool offLoopThread = false;
    int stops = 0;
    timer.setInterval(20);
    timer.setOnTimer([&](PacingTimer* sender) {
        EXPECT_EQ(sender, &timer);
        if (!loop_.inLoopThread()) offLoopThread = true;
        times.push_back(sender->time());
        EXPECT_EQ(sender->ticks(), sender->time() / 20);
    });
    timer.setOnStop([&](PacingTimer*) { ++stops; });
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return times.size() >= 15; }));
    EXPECT_TRUE(timer.enabled());
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(offLoopThread);
    // Each tick is timed from the one before: never sooner than an interval.
    EXPECT_GE(times[0], 20);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 20) << i;
}

TEST_F(ThreadedTimer, CountingDownFromZeroStopsAfterTheFirstTick) {
    PacingTimer timer(loop_, clock_);
    std::vector<std::string> events;
    timer.setInterval(20);
    timer.setCountDown(true);
    timer.setOnTimer([&](PacingTimer*) { events.push_back("timer"); });
    timer.setOnStop([&](PacingTimer* sender) {
        events.push_back(sender->enabled() ? "stop while enabled" : "stop");
    });
    timer.setEnabled(true);

    ASSERT_TRUE(pumpUntil([&] { return events.size() >= 2; }));
    pumpFor(150);
    EXPECT_EQ(events, (std::vector<std::string>{"timer", "stop"}));
    EXPECT_FALSE(timer.enabled());
    EXPECT_LE(timer.time(), -20);
}

TEST_F(ThreadedTimer, ARestartedTimerGoesOnFromTheLastTicksTime) {
    PacingTimer timer(loop_, clock_);
    std::vector<std::int32_t> times;
    timer.setInterval(100);
    timer.setOnTimer([&](PacingTimer* sender) { times.push_back(sender->time()); });
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return times.size() >= 3; }));
    pumpFor(50);  // about 350 ms after the start
    timer.setEnabled(false);

    const std::int32_t last = timer.time();
    EXPECT_EQ(last, times.back());  // the value of the last tick, not of the moment of stopping
    EXPECT_GE(last, 300);
    const size_t seen = times.size();
    pumpFor(300);
    EXPECT_EQ(times.size(), seen);

    QElapsedTimer sinceRestart;
    sinceRestart.start();
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return times.size() > seen; }));
    const std::int32_t resumed = times[seen];
    // One interval on from the old value; the 300 ms stopped are not counted.
    EXPECT_GE(resumed - last, 100);
    EXPECT_LE(resumed - last, sinceRestart.elapsed() + 1);
}

TEST_F(ThreadedTimer, IntervalZeroStopsARunningTimerWithoutOnStop) {
    PacingTimer timer(loop_, clock_);
    int ticks = 0, stops = 0;
    timer.setInterval(10);
    timer.setOnTimer([&](PacingTimer*) { ++ticks; });
    timer.setOnStop([&](PacingTimer*) { ++stops; });
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));

    timer.setInterval(0);
    EXPECT_FALSE(timer.enabled());
    const int seen = ticks;
    pumpFor(100);
    EXPECT_EQ(ticks, seen);  // a tick already timed is not delivered either
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(timer.ticks(), 0);

    timer.setEnabled(true);  // nothing to run with Interval 0
    EXPECT_FALSE(timer.enabled());
    timer.setInterval(10);
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return ticks > seen; }));

    // While the loop is busy the worker times a tick and waits; stopped
    // before the loop gets to it, that tick is never delivered.
    const int before = ticks;
    std::this_thread::sleep_for(40ms);
    timer.setInterval(0);
    pumpFor(50);
    EXPECT_EQ(ticks, before);
    EXPECT_EQ(stops, 0);
}

TEST_F(ThreadedTimer, AHandlerThatStopsTheTimerSuspendsItUntilEnabledAgain) {
    PacingTimer timer(loop_, clock_);
    int ticks = 0;
    timer.setInterval(30);
    timer.setOnTimer([&](PacingTimer* sender) {
        if (++ticks == 3) sender->setEnabled(false);
    });
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));
    pumpFor(150);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(timer.enabled());

    QElapsedTimer sinceRestart;
    sinceRestart.start();
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 4; }));
    // The next tick is timed afresh from the restart, not from a stale deadline.
    EXPECT_GE(sinceRestart.elapsed(), 29);
}

TEST_F(ThreadedTimer, TheTickLimitStopsTheTimerCountingUpAndDown) {
    PacingTimer up(loop_, clock_);
    std::vector<std::int32_t> ticksSeen;
    int stops = 0;
    up.setInterval(20);
    up.setTickLimit(5);
    up.setOnTimer([&](PacingTimer* sender) { ticksSeen.push_back(sender->ticks()); });
    up.setOnStop([&](PacingTimer*) { ++stops; });
    up.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return stops > 0; }));
    pumpFor(100);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(up.enabled());
    EXPECT_LE(ticksSeen.size(), 5u);
    EXPECT_GE(ticksSeen.back(), 5);
    for (size_t i = 0; i + 1 < ticksSeen.size(); ++i) EXPECT_LT(ticksSeen[i], 5);

    PacingTimer down(loop_, clock_);
    std::vector<std::int32_t> downTicks;
    int downStops = 0;
    down.setInterval(20);
    down.setTime(200);
    down.setCountDown(true);
    down.setTickLimit(5);
    down.setOnTimer([&](PacingTimer* sender) { downTicks.push_back(sender->ticks()); });
    down.setOnStop([&](PacingTimer*) { ++downStops; });
    down.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return downStops > 0; }));
    EXPECT_EQ(downStops, 1);
    EXPECT_LE(downTicks.back(), 5);
    for (size_t i = 0; i + 1 < downTicks.size(); ++i) EXPECT_GT(downTicks[i], 5);
}

TEST_F(ThreadedTimer, AnErrorInOnTimerEndsThatTickOnlyAndHoldsTheNextUntilTheBoxCloses) {
    ScriptedDialogs dialogs;
    Dispatcher dispatcher(dialogs, "Obu Linekeeper");
    loop_.setDispatcher(&dispatcher);
    PacingTimer timer(loop_, clock_);
    int ticks = 0;
    bool timedUnderTheBox = false;
    timer.setInterval(10);
    timer.setOnTimer([&](PacingTimer*) {
        if (++ticks == 2) throw ObuError("Unable to write to /x/log.txt");
    });
    dialogs.setWhileOpen([&](const ScriptedDialogs::Box&) {
        const std::int32_t before = timer.time();
        std::this_thread::sleep_for(80ms);
        timedUnderTheBox = timer.time() != before;
    });
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 5; }));
    timer.setEnabled(false);
    loop_.setDispatcher(nullptr);

    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Obu Linekeeper");
    EXPECT_FALSE(timedUnderTheBox);
}

TEST_F(ThreadedTimer, ThePriorityReachesTheWorkerAsFarAsLinuxAllows) {
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);

    PacingTimer timer(loop_, clock_);
    EXPECT_FALSE(timer.workerNice());  // no worker until first enabled
    timer.setThreadPriority(tpLower);  // kept for the worker that starts later
    timer.setInterval(50);
    timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return timer.workerNice().has_value(); }));
    EXPECT_EQ(*timer.workerNice(), std::min(base + 5, 19));

    timer.setThreadPriority(tpLowest);
    EXPECT_EQ(*timer.workerNice(), std::min(base + 10, 19));
    timer.setThreadPriority(tpIdle);
    EXPECT_EQ(*timer.workerNice(), 19);
    // Asking for more than the user may have is quietly refused.
    timer.setThreadPriority(tpTimeCritical);
    EXPECT_LE(*timer.workerNice(), 19);
    EXPECT_EQ(timer.threadPriority(), tpTimeCritical);
    // The thread that made the timer is left alone.
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), base);
}

// Destroys timers at every point of their tick, hundreds of times: from
// inside OnTimer and OnStop, while a tick waits to be handled, and while
// ticking. None may hang, and no handler may run once its timer is gone.
TEST_F(ThreadedTimer, DestructionAtAnyPointOfATickNeitherHangsNorCallsBack) {
    struct Record {
        bool gone = false;
        int callsAfterDestruction = 0;
        int ticks = 0;
    };
    int totalAfter = 0;
    for (int round = 0; round < 400; ++round) {
        auto record = std::make_shared<Record>();
        auto timer = std::make_unique<PacingTimer>(loop_, clock_);
        timer->setInterval(1);
        timer->setThreadPriority(static_cast<TThreadPriority>(round % 7));
        const int mode = round % 4;
        const int destroyOnTick = 1 + round % 3;
        auto onAnyCall = [record, &timer, mode, destroyOnTick](PacingTimer*, bool stop) {
            if (record->gone) {
                ++record->callsAfterDestruction;
                return;
            }
            ++record->ticks;
            const bool now =
                (mode == 0 && !stop && record->ticks == destroyOnTick) || (mode == 3 && stop);
            if (now) {
                timer.reset();
                record->gone = true;
            }
        };
        timer->setOnTimer([onAnyCall](PacingTimer* s) { onAnyCall(s, false); });
        timer->setOnStop([onAnyCall](PacingTimer* s) { onAnyCall(s, true); });
        if (mode == 3) timer->setCountDown(true);  // stops, and so is destroyed in OnStop
        timer->setEnabled(true);

        switch (mode) {
            case 0:
            case 3:
                ASSERT_TRUE(pumpUntil([&] { return record->gone; })) << "round " << round;
                break;
            case 1:
                // The worker times a tick and waits for the loop, which is not running.
                std::this_thread::sleep_for(3ms);
                timer.reset();
                record->gone = true;
                break;
            case 2:
                pumpFor(2 + round % 3);
                timer.reset();
                record->gone = true;
                break;
        }
        pumpFor(3);
        totalAfter += record->callsAfterDestruction;
    }
    pumpFor(50);
    EXPECT_EQ(totalAfter, 0);
}

}  // namespace
}  // namespace obu::test
