#pragma once
#include <QObject>
#include <QThread>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/EventLoop.h"

class QTimer;

namespace obu {

// The real message loop: Qt's event loop of the thread that made this object.
class QtEventLoop : public QObject, public EventLoop {
    Q_OBJECT
public:
    QtEventLoop();
    ~QtEventLoop() override;

    TimerId startTimer(int intervalMs, std::function<void()> onTick) override;
    TimerId startFineTimer(int intervalMs, std::function<void()> onTick) override;
    void stopTimer(TimerId id) override;
    void post(std::function<void()> fn) override;
    void processMessages() override;
    bool inLoopThread() const override;
    void letWindowsPaint(const std::function<bool()>& done, int maxMs) override;

private:
    TimerId addTimer(int intervalMs, std::function<void()> onTick);
    // Runs the posted messages waiting now; those they post come with the next call.
    Q_INVOKABLE void drainPosted();

    std::map<TimerId, QTimer*> m_timers;
    // Posted messages wait here, under our own lock, so that a worker's message
    // is handed to this thread in a way the thread checkers can see; Qt only
    // carries the wake-up.
    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    bool m_drainQueued = false;
    // While the window system works alone, ticks and posted messages wait.
    bool m_held = false;
    TimerId m_nextId = 1;
    QThread* m_thread;
};

}  // namespace obu
