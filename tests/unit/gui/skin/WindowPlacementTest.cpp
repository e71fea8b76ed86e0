// Whether a stored window position is still on a screen.
#include "gui/skin/WindowPlacement.h"

#include <gtest/gtest.h>

namespace obu {
namespace {

TEST(WindowPlacement, AWindowCountsAsOnScreenWhenHalfOfItIsOnOneScreen) {
    const QRect laptop(0, 0, 1366, 738);
    const QRect monitor(1366, 0, 1920, 1050);
    const QSize window(452, 243);
    EXPECT_TRUE(mostlyOnScreen({QPoint(15, 15), window}, {laptop}));
    // Half over the right edge still counts; more does not.
    EXPECT_TRUE(mostlyOnScreen({QPoint(1366 - 226, 100), window}, {laptop}));
    EXPECT_FALSE(mostlyOnScreen({QPoint(1366 - 200, 100), window}, {laptop}));
    // Saved on the second monitor, which has been unplugged since.
    EXPECT_TRUE(mostlyOnScreen({QPoint(3000, 40), window}, {laptop, monitor}));
    EXPECT_FALSE(mostlyOnScreen({QPoint(3000, 40), window}, {laptop}));
    // A title bar above the screen, as a bad save once left it.
    EXPECT_FALSE(mostlyOnScreen({QPoint(-3, -230), window}, {laptop}));
    EXPECT_FALSE(mostlyOnScreen({QPoint(15, 15), window}, {}));
}

}  // namespace
}  // namespace obu
