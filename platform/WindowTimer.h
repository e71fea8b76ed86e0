#pragma once
#include <functional>

#include "platform/EventLoop.h"

namespace obu {

// A message-loop timer whose handlers rely on one rule: it runs
// while Enabled, Interval is not 0 and OnTimer is set; changing Enabled or
// Interval restarts the count from that moment.
class WindowTimer {
public:
    explicit WindowTimer(EventLoop& loop, int intervalMs = 1000, bool enabled = false);
    ~WindowTimer();
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int interval() const { return interval_; }
    void setInterval(int ms);
    void setOnTimer(std::function<void()> handler);
    // True while the loop holds a timer for it.
    bool running() const { return id_ != 0; }

private:
    void update();

    EventLoop& loop_;
    int interval_;
    bool enabled_;
    std::function<void()> onTimer_;
    EventLoop::TimerId id_ = 0;
};

}  // namespace obu
