// The timer driven by the event loop in virtual time, as the whole-program
// tests run it: exact, with no real time passing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Dispatcher.h"
#include "platform/Errors.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/VirtualTime.h"
#include "timing/PacingTimer.h"

namespace obu::test {
namespace {

class VirtualTimer : public ::testing::Test {
protected:
    VirtualTimer() {
        timer_->setOnTimer([this](PacingTimer* sender) {
            EXPECT_EQ(sender, timer_.get());
            times_.push_back(sender->time());
            events_.push_back("timer " + std::to_string(sender->time()));
        });
        timer_->setOnStop([this](PacingTimer* sender) {
            events_.push_back(std::string(sender->enabled() ? "stop, still enabled" : "stop"));
        });
    }

    VirtualTime time_;
    std::unique_ptr<PacingTimer> timer_ =
        std::make_unique<PacingTimer>(time_, time_, TimerDriver::Loop);
    std::vector<std::int32_t> times_;
    std::vector<std::string> events_;
};

TEST_F(VirtualTimer, CountsUpAtEveryIntervalAndNeverStopsByItself) {
    EXPECT_EQ(timer_->driver(), TimerDriver::Loop);
    timer_->setEnabled(true);
    time_.advance(3500);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{1000, 2000, 3000}));
    EXPECT_EQ(timer_->ticks(), 3);

    time_.advance(1000 * 60 * 60);
    EXPECT_EQ(times_.size(), 3u + 3600u);
    EXPECT_TRUE(timer_->enabled());
    EXPECT_FALSE(timer_->workerNice());  // no thread in this mode
}

TEST_F(VirtualTimer, CountingDownFromZeroRunsOnTimerOnceThenOnStop) {
    timer_->setCountDown(true);
    timer_->setEnabled(true);
    time_.advance(5000);
    EXPECT_EQ(events_, (std::vector<std::string>{"timer -1000", "stop"}));
    EXPECT_EQ(time_.activeTimers(), 0);
}

TEST_F(VirtualTimer, ARestartGoesOnFromTheLastTickNotFromZero) {
    timer_->setInterval(100);
    timer_->setEnabled(true);
    time_.advance(350);
    timer_->setEnabled(false);
    EXPECT_EQ(timer_->time(), 300);
    time_.advance(1000);
    EXPECT_EQ(times_.size(), 3u);

    timer_->setEnabled(true);
    time_.advance(250);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{100, 200, 300, 400, 500}));
}

TEST_F(VirtualTimer, ChangingDirectionGoesOnFromThePresentValue) {
    timer_->setInterval(100);
    timer_->setEnabled(true);
    time_.advance(300);
    timer_->setCountDown(true);
    time_.advance(1000);
    EXPECT_EQ(events_, (std::vector<std::string>{"timer 100", "timer 200", "timer 300", "timer 200",
                                                 "timer 100", "timer 0", "stop"}));
}

TEST_F(VirtualTimer, TheTickLimitStopsCountingUpAndCountingDown) {
    timer_->setInterval(100);
    timer_->setTickLimit(5);
    timer_->setEnabled(true);
    time_.advance(2000);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{100, 200, 300, 400, 500}));
    EXPECT_EQ(events_.back(), "stop");

    times_.clear();
    events_.clear();
    timer_->setTime(1000);
    timer_->setCountDown(true);
    timer_->setTickLimit(3);
    timer_->setEnabled(true);
    time_.advance(2000);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{900, 800, 700, 600, 500, 400, 300}));
    EXPECT_EQ(events_.back(), "stop");
}

TEST_F(VirtualTimer, IntervalZeroStopsWithoutOnStopAndCannotBeEnabled) {
    timer_->setInterval(100);
    timer_->setEnabled(true);
    time_.advance(250);
    timer_->setInterval(0);
    EXPECT_FALSE(timer_->enabled());
    EXPECT_EQ(timer_->ticks(), 0);
    timer_->setEnabled(true);
    EXPECT_FALSE(timer_->enabled());
    time_.advance(1000);
    EXPECT_EQ(events_, (std::vector<std::string>{"timer 100", "timer 200"}));
    EXPECT_EQ(time_.activeTimers(), 0);
}

TEST_F(VirtualTimer, AStopInsideOnTimerHoldsUntilEnabledAgainWithAFreshDeadline) {
    timer_->setInterval(100);
    timer_->setOnTimer([this](PacingTimer* sender) {
        times_.push_back(sender->time());
        if (times_.size() == 2) sender->setEnabled(false);
    });
    timer_->setEnabled(true);
    time_.advance(1000);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{100, 200}));
    time_.advance(50);  // 1050: the restart times its first tick from here
    timer_->setEnabled(true);
    time_.advance(99);
    EXPECT_EQ(times_.size(), 2u);
    time_.advance(1);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{100, 200, 300}));
}

TEST_F(VirtualTimer, ALateTickIsNotMadeUp) {
    timer_->setInterval(100);
    timer_->setOnTimer([this](PacingTimer* sender) {
        times_.push_back(sender->time());
        if (times_.size() == 1) time_.sleep(250);  // a handler that blocks the loop
    });
    timer_->setEnabled(true);
    time_.advance(1000);
    // After the long tick the next one comes as soon as the loop is free, and
    // the one after it a whole interval later: no burst of missed ticks.
    ASSERT_GE(times_.size(), 3u);
    EXPECT_GE(times_[1], 350);
    EXPECT_LE(times_[1], 350 + EventLoop::kMinimumTimerMs);
    EXPECT_EQ(times_[2] - times_[1], 100);
}

TEST_F(VirtualTimer, IntervalsBelowTheLoopsMinimumTickAtTheMinimum) {
    timer_->setInterval(1);
    timer_->setEnabled(true);
    time_.advance(35);
    EXPECT_EQ(times_, (std::vector<std::int32_t>{10, 20, 30}));
}

TEST_F(VirtualTimer, DestroyedInsideItsOwnHandlersItNeverRunsAgain) {
    int after = 0;
    bool gone = false;
    timer_->setInterval(100);
    timer_->setOnTimer([&](PacingTimer*) {
        if (gone) ++after;
        timer_.reset();
        gone = true;
    });
    timer_->setEnabled(true);
    time_.advance(1000);
    EXPECT_TRUE(gone);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(time_.activeTimers(), 0);

    gone = false;
    timer_ = std::make_unique<PacingTimer>(time_, time_, TimerDriver::Loop);
    timer_->setCountDown(true);
    timer_->setOnTimer([&](PacingTimer*) {
        if (gone) ++after;
    });
    timer_->setOnStop([&](PacingTimer*) {
        if (gone) ++after;
        timer_.reset();
        gone = true;
    });
    timer_->setEnabled(true);
    time_.advance(5000);
    EXPECT_TRUE(gone);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(time_.activeTimers(), 0);
}

TEST_F(VirtualTimer, AnErrorEndsTheTickInTheErrorBoxAndTheTimerGoesOnAfterIt) {
    ScriptedDialogs dialogs;
    Dispatcher dispatcher(dialogs, "Obu Linekeeper");
    time_.setDispatcher(&dispatcher);
    timer_->setInterval(100);
    timer_->setTickLimit(2);
    timer_->setOnTimer([this](PacingTimer* sender) {
        times_.push_back(sender->time());
        if (times_.size() == 2) throw ObuError("Unable to write to /x/obu.ini");
    });
    size_t ticksUnderTheBox = 0;
    dialogs.setWhileOpen([&](const ScriptedDialogs::Box&) {
        const size_t before = times_.size();
        time_.advance(500);  // the box stays open a while; loop timers fire under it
        ticksUnderTheBox = times_.size() - before;
    });
    timer_->setEnabled(true);
    time_.advance(800);
    time_.setDispatcher(nullptr);

    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text, "Unable to write to /x/obu.ini.");
    EXPECT_EQ(ticksUnderTheBox, 0u);
    // The failed tick skipped its limit check; the next tick stops the timer.
    EXPECT_EQ(times_, (std::vector<std::int32_t>{100, 200, 700 + EventLoop::kMinimumTimerMs}));
    EXPECT_FALSE(timer_->enabled());
}

}  // namespace
}  // namespace obu::test
