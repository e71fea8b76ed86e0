#pragma once
#include <functional>

#include "platform/EventLoop.h"

namespace obu {

// A message-loop timer whose handlers rely on one rule: it runs
// while Enabled, Interval is not 0 and OnTimer is set; changing Enabled or
// Interval restarts the count from that moment.
class WindowTimer {
public:
    enum class Grain {
        Window,  // ticks at most every 10 ms (EventLoop::startTimer)
        Fine,    // down to every millisecond, for animations (EventLoop::startFineTimer)
    };

    explicit WindowTimer(EventLoop& loop, int intervalMs = 1000, bool enabled = false,
                         Grain grain = Grain::Window);
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
    const Grain grain_;
    int interval_;
    bool enabled_;
    std::function<void()> onTimer_;
    EventLoop::TimerId id_ = 0;
};

}  // namespace obu
