#pragma once
#include <QObject>
#include <QThread>
#include <map>
#include <memory>

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
    void stopTimer(TimerId id) override;
    void post(std::function<void()> fn) override;
    void processMessages() override;
    bool inLoopThread() const override;

private:
    std::map<TimerId, QTimer*> timers_;
    TimerId nextId_ = 1;
    QThread* thread_;
};

}  // namespace obu
