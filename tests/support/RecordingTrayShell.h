#pragma once
#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "platform/TrayShell.h"

namespace obu {
class EventLoop;
}

namespace obu::test {

// The notification area in a test: keeps the shell's list of icons by the
// same rules as the real one, records every call with its record, fails the
// calls that a test scripts, and plays mouse actions on an icon by posting
// the messages that the shell would post.
class RecordingTrayShell : public TrayShell {
public:
    struct Call {
        std::uint32_t message;
        NOTIFYICONDATAA data;
        bool result;
        QString tip() const { return tipOf(data); }
    };

    explicit RecordingTrayShell(EventLoop& loop) : loop_(loop) {}

    bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) override;
    bool available() const override { return available_; }
    void setAvailable(bool available) { available_ = available; }

    const std::vector<Call>& calls() const { return calls_; }
    int count(std::uint32_t message) const;
    void clearCalls() { calls_.clear(); }
    // The next `times` calls with this command fail (and change nothing).
    void failNext(std::uint32_t message, int times = 1) { failures_[message] += times; }

    // The record of an icon as the shell holds it now, or nullptr when not shown.
    const NOTIFYICONDATAA* shown(NotifyTarget hWnd, std::uint32_t uID = 0) const;
    int shownCount() const { return static_cast<int>(icons_.size()); }
    QString tipShown(NotifyTarget hWnd, std::uint32_t uID = 0) const;

    // Mouse actions on a shown icon; false when the icon is not there. The
    // messages are posted, as the shell posts them.
    bool mouse(std::uint32_t mouseMessage, NotifyTarget hWnd, std::uint32_t uID = 0);
    bool leftClick(NotifyTarget hWnd) { return mouse(WM_LBUTTONUP, hWnd); }
    bool rightClick(NotifyTarget hWnd) { return mouse(WM_RBUTTONUP, hWnd); }
    // A double click as a tray reports it: up, double click, up.
    bool doubleClick(NotifyTarget hWnd);

private:
    EventLoop& loop_;
    bool available_ = true;
    std::vector<Call> calls_;
    std::map<std::uint32_t, int> failures_;
    std::map<std::pair<NotifyTarget, std::uint32_t>, NOTIFYICONDATAA> icons_;
};

}  // namespace obu::test
