#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/Dispatcher.h"
#include "platform/Errors.h"
#include "platform/QtEventLoop.h"
#include "platform/WindowTimer.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/VirtualTime.h"

using namespace obu;

namespace {

struct LoopTest : ::testing::Test {
    test::VirtualTime time;
    test::ScriptedDialogs dialogs;
    Dispatcher dispatcher{dialogs, "OBU v1.3"};
    LoopTest() { time.setDispatcher(&dispatcher); }
};

}  // namespace

TEST_F(LoopTest, AnErrorEndsItsHandlerWithTheDefaultBoxAndTheLoopGoesOn) {
    int ticks = 0, after = 0;
    WindowTimer timer(time, 100, true);
    timer.setOnTimer([&] {
        ++ticks;
        if (ticks == 1) throw IoError(2);
        if (ticks == 2) throw WriteError("/x/obu.ini");
        ++after;
    });
    time.advance(300);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(after, 1);
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(dialogs.boxes()[0].caption, "OBU v1.3");
    EXPECT_EQ(dialogs.boxes()[0].text, "File not found.");
    EXPECT_EQ(dialogs.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(dialogs.boxes()[1].text, "Unable to write to /x/obu.ini.");
    EXPECT_EQ(Dialogs::errorBoxText("Ends with a stop."), "Ends with a stop.");
    EXPECT_EQ(Dialogs::errorBoxText("Really!"), "Really!") << "'!' sorts below '.'";
}

TEST_F(LoopTest, WindowTimersKeepTheWindowsRules) {
    std::vector<std::int64_t> fired;
    WindowTimer fast(time, 1);
    fast.setOnTimer([&] { fired.push_back(time.elapsedMs()); });
    time.advance(50);
    EXPECT_TRUE(fired.empty()) << "a disabled timer never fires";
    fast.setEnabled(true);
    time.advance(35);
    EXPECT_EQ(fired, (std::vector<std::int64_t>{60, 70, 80})) << "never shorter than 10 ms";
    fired.clear();
    fast.setInterval(0);
    time.advance(100);
    EXPECT_TRUE(fired.empty()) << "interval 0 stops it";
}

TEST_F(LoopTest, FineTimersTickEveryMillisecondUnderVirtualAndRealTime) {
    std::vector<std::int64_t> fired;
    WindowTimer fine(time, 1, true, WindowTimer::Grain::Fine);
    fine.setOnTimer([&] { fired.push_back(time.elapsedMs()); });
    time.advance(3);
    EXPECT_EQ(fired, (std::vector<std::int64_t>{1, 2, 3}));

    // The real loop: while a window timer asked for every millisecond ticks
    // ten times (its floor of 10 ms), a fine one ticks several times as often.
    int argc = 1;
    char name[] = "platform_unit_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QtEventLoop loop;
    int fineTicks = 0, windowTicks = 0;
    WindowTimer realFine(loop, 1, true, WindowTimer::Grain::Fine);
    realFine.setOnTimer([&] { ++fineTicks; });
    WindowTimer realWindow(loop, 1, true);
    realWindow.setOnTimer([&] { ++windowTicks; });
    QElapsedTimer deadline;
    deadline.start();
    while (windowTicks < 10 && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(windowTicks, 10);
    EXPECT_GE(fineTicks, 30);
}

TEST_F(LoopTest, ChangingTheIntervalRestartsTheCountAndATimerCanStopItselfFromItsTick) {
    int ticks = 0;
    WindowTimer timer(time, 1000, true);
    timer.setOnTimer([&] {
        ++ticks;
        timer.setEnabled(false);
    });
    time.advance(900);
    timer.setInterval(500);
    time.advance(400);
    EXPECT_EQ(ticks, 0);
    time.advance(100);
    EXPECT_EQ(ticks, 1);
    time.advance(5000);
    EXPECT_EQ(ticks, 1);
}

TEST_F(LoopTest, SleepMovesTimeWithoutDispatchingAndALateTimerFiresOnce) {
    int ticks = 0;
    WindowTimer timer(time, 100, true);
    timer.setOnTimer([&] {
        ++ticks;
        if (ticks == 1) time.sleep(550);  // a blocking wait inside a handler
    });
    time.advance(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(time.elapsedMs(), 650);
    time.advance(0);
    EXPECT_EQ(ticks, 2) << "the tick that fell due during the wait comes once, at once";
    time.advance(99);
    EXPECT_EQ(ticks, 2);
    time.advance(1);
    EXPECT_EQ(ticks, 3) << "then the timer counts from the moment it fired";
}

TEST_F(LoopTest, PostedMessagesRunInOrderOnTheLoop) {
    std::vector<int> order;
    time.post([&] { order.push_back(1); });
    time.post([&] {
        order.push_back(2);
        time.post([&] { order.push_back(3); });
    });
    EXPECT_TRUE(order.empty());
    time.processMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}
