#pragma once
#include <cstdint>
#include <functional>

namespace obu {

class Dispatcher;

// The message loop of the user-interface thread: timers, posted calls and
// running what is waiting. Every callback it runs goes through the
// dispatcher, which turns our error exceptions into the default error box and
// ends that handler only.
class EventLoop {
public:
    using TimerId = std::uint64_t;
    // Timers never fire more often than this: a shorter interval written in a
    // handler gets this one.
    static constexpr int kMinimumTimerMs = 10;

    virtual ~EventLoop() = default;

    // Calls onTick every max(intervalMs, 10) ms until stopped.
    virtual TimerId startTimer(int intervalMs, std::function<void()> onTick) = 0;
    // Calls onTick every max(intervalMs, 1) ms until stopped, as closely as the
    // system allows: for animations counted in milliseconds, which the floor
    // of startTimer would slow down tenfold. A tick that falls due while the
    // program is busy comes once, when it is free; ticks never pile up.
    virtual TimerId startFineTimer(int intervalMs, std::function<void()> onTick) = 0;
    // A tick of a stopped timer never runs, even if already due.
    virtual void stopTimer(TimerId id) = 0;
    // Runs fn later on the user-interface thread. Callable from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Runs what is waiting, then returns.
    virtual void processMessages() = 0;
    // True on the thread that runs the loop.
    virtual bool inLoopThread() const = 0;
    // Lets the window system work (map, expose and paint windows) until
    // `done` holds or maxMs have passed, running none of the program's own
    // timers, posted messages, sockets or user input: the program may be half
    // made. A loop without a window system returns at once.
    virtual void letWindowsPaint(const std::function<bool()>& done, int maxMs) {
        static_cast<void>(done);
        static_cast<void>(maxMs);
    }

    void setDispatcher(Dispatcher* dispatcher) { m_dispatcher = dispatcher; }
    Dispatcher* dispatcher() const { return m_dispatcher; }

protected:
    // Runs a callback of the loop through the dispatcher (or bare without one).
    void dispatch(const std::function<void()>& fn);

private:
    Dispatcher* m_dispatcher = nullptr;
};

}  // namespace obu
