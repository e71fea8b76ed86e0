#include "platform/WindowTimer.h"

namespace obu {

WindowTimer::WindowTimer(EventLoop& loop, int intervalMs, bool enabled, Grain grain)
    : m_loop(loop), m_grain(grain), m_interval(intervalMs), m_enabled(enabled) {}

WindowTimer::~WindowTimer() {
    if (m_id) m_loop.stopTimer(m_id);
}

void WindowTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    update();
}

void WindowTimer::setInterval(int ms) {
    if (ms == m_interval) return;
    m_interval = ms;
    update();
}

void WindowTimer::setOnTimer(std::function<void()> handler) {
    m_onTimer = std::move(handler);
    update();
}

void WindowTimer::update() {
    if (m_id) {
        m_loop.stopTimer(m_id);
        m_id = 0;
    }
    if (m_enabled && m_interval > 0 && m_onTimer) {
        // The handler may destroy or reconfigure this timer; call a copy.
        auto tick = [this] {
            auto handler = m_onTimer;
            if (handler) handler();
        };
        m_id = m_grain == Grain::Fine ? m_loop.startFineTimer(m_interval, std::move(tick))
                                      : m_loop.startTimer(m_interval, std::move(tick));
    }
}

}  // namespace obu
