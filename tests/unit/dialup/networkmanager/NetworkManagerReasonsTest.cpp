#include <gtest/gtest.h>

#include "dialup/networkmanager/NetworkManagerReasons.h"

namespace obu {
namespace {

// Active connection reasons: 2 user disconnected, 3 device disconnected,
// 4 service stopped, 6 connect timeout, 10 login failed, 14 device removed.
// Device reasons: 0 none seen, 1 unknown, 3 now unmanaged, 7 no secrets,
// 14 PPP failed, 23 modem busy, 24 no dial tone, 39 user requested, 40 carrier.
TEST(NetworkManagerReasons, TheDevicesReasonSaysWhyUnlessItSaysNothing) {
    // "Device disconnected" is all the connection says; its device says why.
    EXPECT_EQ(failureFromReasons(3, 23), NmFailure::ModemBusy);
    EXPECT_EQ(failureFromReasons(3, 24), NmFailure::NoDialTone);
    EXPECT_EQ(failureFromReasons(3, 40), NmFailure::NoCarrier);
    EXPECT_EQ(failureFromReasons(3, 7), NmFailure::LoginRefused);
    EXPECT_EQ(failureFromReasons(3, 3), NmFailure::DeviceMissing);
    // A user's end is no failure, whoever the user was.
    EXPECT_EQ(failureFromReasons(2, 39), NmFailure::None);
    EXPECT_EQ(failureFromReasons(3, 39), NmFailure::None);
    // A VPN has no device reason of its own; an unknown one says nothing.
    EXPECT_EQ(failureFromReasons(10, 0), NmFailure::LoginRefused);
    EXPECT_EQ(failureFromReasons(6, 0), NmFailure::DialTimeout);
    EXPECT_EQ(failureFromReasons(14, 1), NmFailure::DeviceMissing);
    EXPECT_EQ(failureFromReasons(2, 0), NmFailure::None);
    // What has no kind of its own stays a failure.
    EXPECT_EQ(failureFromReasons(4, 0), NmFailure::Other);
    EXPECT_EQ(failureFromReasons(3, 14), NmFailure::Other);
    EXPECT_EQ(failureFromReasons(3, 0), NmFailure::Other);

    EXPECT_EQ(failureFromActivationError("org.freedesktop.NetworkManager.ConnectionNotAvailable"),
              NmFailure::DeviceMissing);
    EXPECT_EQ(failureFromActivationError("org.freedesktop.DBus.Error.AccessDenied"),
              NmFailure::Other);
}

TEST(NetworkManagerReasons, AnEndIsToldInWordsWithNetworkManagersNumbers) {
    EXPECT_EQ(reasonInWords(3, 14), "pppd failed (device reason 14)");
    EXPECT_EQ(reasonInWords(2, 39), "another program took it down (reason 2)");
    EXPECT_EQ(reasonInWords(3, 40), "the carrier was lost (device reason 40)");
    // A VPN has no device reason: the connection's own says why.
    EXPECT_EQ(reasonInWords(10, 0), "the login failed (reason 10)");
    // Numbers without words are still told, never "other" or "none".
    EXPECT_EQ(reasonInWords(0, 999), "device reason 999");
    EXPECT_EQ(reasonInWords(0, 0), "no reason given");
}

}  // namespace
}  // namespace obu
