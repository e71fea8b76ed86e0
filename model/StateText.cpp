#include "model/StateText.h"

#include <cstdint>
#include <utility>

namespace obu {

namespace {

// The status line's text for each stage number of a call; a record of
// another process may carry any of them.
constexpr std::pair<std::uint32_t, const char*> kStateTexts[] = {
    {0, "Opening port..."},
    {1, "Port opened."},
    {2, "Connecting device..."},
    {3, "Device connected."},
    {4, "All devices connected."},
    {5, "Starting to authenticate..."},
    {6, "Authentication: notify"},
    {7, "Authentication: retry"},
    {8, "Authentication: callback"},
    {9, "Authentication: change password"},
    {10, "Authentication: projecting"},
    {11, "Authentication: link speed"},
    {12, "Authentication: acknowledge"},
    {13, "Authentication: reauthenticate"},
    {14, "Authenticated."},
    {15, "Preparing for callback..."},
    {16, "Waiting for modem to reset..."},
    {17, "Waiting for callback..."},
    {18, "Projected."},
    {19, "Starting authentication..."},
    {20, "Callback complete."},
    {21, "Logging on network..."},
    {4096, "Interactive..."},
    {4097, "Retry Authentication..."},
    {4098, "Callback set by caller."},
    {4099, "Password expired."},
    {8192, "Connected."},
    {8193, "Disconnected."},
};

}  // namespace

QString stateText(const DialUpService& service, CallState state, DialUpError error) {
    if (error != 0) return service.errorText(error);
    for (const auto& [known, text] : kStateTexts)
        if (known == static_cast<std::uint32_t>(state)) return QString::fromLatin1(text);
    return {};
}

}  // namespace obu
