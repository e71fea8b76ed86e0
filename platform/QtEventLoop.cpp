#include "platform/QtEventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace obu {

QtEventLoop::QtEventLoop() : m_thread(QThread::currentThread()) {}

QtEventLoop::~QtEventLoop() {
    for (auto& [id, timer] : m_timers) delete timer;
}

EventLoop::TimerId QtEventLoop::startTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, kMinimumTimerMs), std::move(onTick));
}

EventLoop::TimerId QtEventLoop::startFineTimer(int intervalMs, std::function<void()> onTick) {
    return addTimer(std::max(intervalMs, 1), std::move(onTick));
}

EventLoop::TimerId QtEventLoop::addTimer(int intervalMs, std::function<void()> onTick) {
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(this);
    // Precise timers keep a one-second countdown from drifting and a
    // millisecond animation at its pace.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, [this, id, onTick = std::move(onTick)] {
        // A tick already queued for a timer stopped meanwhile must not run.
        if (m_timers.count(id) && !m_held) dispatch(onTick);
    });
    m_timers[id] = timer;
    timer->start();
    return id;
}

void QtEventLoop::stopTimer(TimerId id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    QTimer* timer = it->second;
    m_timers.erase(it);
    timer->stop();
    // The timer may be stopped from inside its own tick.
    timer->deleteLater();
}

void QtEventLoop::post(std::function<void()> fn) {
    bool wake = false;
    {
        std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(fn));
        wake = !m_drainQueued;
        m_drainQueued = true;
    }
    if (wake) QMetaObject::invokeMethod(this, "drainPosted", Qt::QueuedConnection);
}

void QtEventLoop::drainPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_postedMutex);
        if (m_held) return;  // letWindowsPaint() asks again when it ends
        batch.swap(m_posted);
        m_drainQueued = false;
    }
    for (auto& fn : batch) dispatch(fn);
}

void QtEventLoop::processMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::letWindowsPaint(const std::function<bool()>& done, int maxMs) {
    {
        std::lock_guard lock(m_postedMutex);
        m_held = true;
    }
    const auto flags = QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                       QEventLoop::X11ExcludeTimers;
    QElapsedTimer clock;
    clock.start();
    // The window system's answers come from the server at their own pace.
    while (!done() && clock.elapsed() < maxMs) {
        QCoreApplication::processEvents(flags);
        if (!done()) QThread::usleep(500);
    }
    bool pending = false;
    {
        std::lock_guard lock(m_postedMutex);
        m_held = false;
        pending = m_drainQueued;
    }
    if (pending) QMetaObject::invokeMethod(this, "drainPosted", Qt::QueuedConnection);
}

bool QtEventLoop::inLoopThread() const {
    return QThread::currentThread() == m_thread;
}

}  // namespace obu
