#include "platform/WindowTimer.h"

namespace obu {

WindowTimer::WindowTimer(EventLoop& loop, int intervalMs, bool enabled, Grain grain)
    : loop_(loop), grain_(grain), interval_(intervalMs), enabled_(enabled) {}

WindowTimer::~WindowTimer() {
    if (id_) loop_.stopTimer(id_);
}

void WindowTimer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    update();
}

void WindowTimer::setInterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    update();
}

void WindowTimer::setOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
    update();
}

void WindowTimer::update() {
    if (id_) {
        loop_.stopTimer(id_);
        id_ = 0;
    }
    if (enabled_ && interval_ > 0 && onTimer_) {
        // The handler may destroy or reconfigure this timer; call a copy.
        auto tick = [this] {
            auto handler = onTimer_;
            if (handler) handler();
        };
        id_ = grain_ == Grain::Fine ? loop_.startFineTimer(interval_, std::move(tick))
                                    : loop_.startTimer(interval_, std::move(tick));
    }
}

}  // namespace obu
