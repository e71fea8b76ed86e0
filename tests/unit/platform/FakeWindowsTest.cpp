// The window search rules that the double shares with the X11 search: the
// whole title, any case, no fixed length; only the minimize request is sent.
#include <gtest/gtest.h>

#include "tests/support/FakeWindows.h"

using namespace obu;
using obu::test::FakeWindows;

TEST(FakeWindows, WholeTitleAnyCaseAnyLength) {
    FakeWindows windows;
    const QString name = QString(90, u'x');
    const auto longer = windows.open(QStringLiteral("Connected to ") + name + u'y');
    const auto other = windows.open(QStringLiteral("Connected to Demo ISP 2"));
    EXPECT_EQ(windows.findWindowTitled(QStringLiteral("Connected to Demo ISP")), 0u);
    const auto dun = windows.open(QStringLiteral("Connected to Demo ISP"));
    EXPECT_EQ(windows.findWindowTitled(QStringLiteral("CONNECTED TO demo isp")), dun);
    // The first 79 characters are the same; the rest decides.
    EXPECT_EQ(windows.findWindowTitled(QStringLiteral("Connected to ") + name), 0u);
    EXPECT_EQ(windows.findWindowTitled(QStringLiteral("Connected to ") + name + u'Y'), longer);

    EXPECT_FALSE(windows.minimizeWindow(0));
    EXPECT_TRUE(windows.minimizeRequests.isEmpty());
    EXPECT_TRUE(windows.minimizeWindow(dun));
    EXPECT_TRUE(windows.isMinimized(dun));
    EXPECT_FALSE(windows.isMinimized(other));
    EXPECT_EQ(windows.minimizeRequests, QList<Windows::Handle>{dun});
}
