#include "model/Countdown.h"

namespace obu {

Countdown::Countdown(EventLoop& loop, int fullSeconds)
    : m_ticker(loop, 1000), m_fullSeconds(fullSeconds), m_secondsLeft(fullSeconds) {
    m_ticker.setOnTimer([this] { tick(); });
}

void Countdown::start() {
    if (running()) return;
    show(m_fullSeconds);
    m_ticker.setEnabled(true);
}

void Countdown::startFrom(int seconds) {
    m_ticker.setEnabled(false);
    show(seconds);
    m_ticker.setEnabled(true);
}

void Countdown::stop() {
    m_ticker.setEnabled(false);
    show(m_fullSeconds);
}

void Countdown::tick() {
    if (m_secondsLeft > 0) {
        show(m_secondsLeft - 1);
        return;
    }
    stop();
    emit expired();
}

void Countdown::show(int seconds) {
    if (seconds == m_secondsLeft) return;
    m_secondsLeft = seconds;
    emit secondsLeftChanged(seconds);
}

}  // namespace obu
