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

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    void setOnTimer(std::function<void()> handler);
    // True while the loop holds a timer for it.
    bool running() const { return m_id != 0; }

private:
    void update();

    EventLoop& m_loop;
    const Grain m_grain;
    int m_interval;
    bool m_enabled;
    std::function<void()> m_onTimer;
    EventLoop::TimerId m_id = 0;
};

}  // namespace obu
