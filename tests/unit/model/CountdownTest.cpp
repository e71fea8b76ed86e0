// The countdown behind the reconnect and disconnect windows, in virtual time.
#include <gtest/gtest.h>

#include <vector>

#include "model/Countdown.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {
namespace {

TEST(Countdown, CountsEachSecondToZeroExpiresOnceAfterItAndIsFullAgain) {
    VirtualTime time;
    Countdown count(time, 3);
    std::vector<int> shown;
    int expiries = 0;
    QObject::connect(&count, &Countdown::secondsLeftChanged, [&](int s) { shown.push_back(s); });
    QObject::connect(&count, &Countdown::expired, [&] {
        EXPECT_EQ(count.secondsLeft(), 3) << "full again before its end is announced";
        EXPECT_FALSE(count.running());
        ++expiries;
    });
    count.start();
    time.advance(1500);
    count.start();  // a second start while counting changes nothing
    time.advance(1500);
    EXPECT_EQ(shown, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(expiries, 0);
    time.advance(1000);
    EXPECT_EQ(expiries, 1);
    time.advance(10000);
    EXPECT_EQ(expiries, 1);

    // Stopped midway: back to full, and no end.
    count.start();
    time.advance(2000);
    count.stop();
    EXPECT_EQ(count.secondsLeft(), 3);
    time.advance(10000);
    EXPECT_EQ(expiries, 1);
}

}  // namespace
}  // namespace obu::test
