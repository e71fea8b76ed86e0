#include "platform/HandOver.h"

#include <condition_variable>
#include <mutex>

#include "platform/Dispatcher.h"
#include "platform/EventLoop.h"

namespace obu {

// Lives as long as the last posted call that refers to it, so a call that the
// loop runs after the owner is gone still finds its state.
struct HandOver::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
};

struct HandOver::Call {
    enum class State { Pending, Running, Done, Dropped };
    State state = State::Pending;
};

namespace {

// Errors of the call end in the loop's error box before the worker goes on.
void runHandled(EventLoop& loop, const std::function<void()>& fn) {
    if (Dispatcher* dispatcher = loop.dispatcher())
        dispatcher->run(fn);
    else
        fn();
}

}  // namespace

HandOver::HandOver(EventLoop& loop) : loop_(loop), shared_(std::make_shared<Shared>()) {}

HandOver::~HandOver() {
    cancel();
}

bool HandOver::call(std::function<void()> fn) {
    if (loop_.inLoopThread()) {
        if (cancelled()) return false;
        runHandled(loop_, fn);
        return true;
    }

    // Held here, so that the owner may destroy the hand-over while this
    // worker still waits in it.
    const std::shared_ptr<Shared> shared = shared_;
    auto call = std::make_shared<Call>();
    // Posted under the lock, which the call takes first: the loop cannot run
    // it, nor release what the post made, before this worker waits. That
    // keeps the whole exchange ordered by this mutex, where ThreadSanitizer
    // sees it, rather than by the loop's own queue.
    std::unique_lock workerLock(shared->mutex);
    if (shared->cancelled) return false;
    loop_.post([shared, call, fn = std::move(fn), loop = &loop_] {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->cancelled || call->state != Call::State::Pending) return;
            call->state = Call::State::Running;
        }
        // Marks the call done even when fn ends with an error that the
        // dispatcher does not catch, so the worker is never left waiting.
        struct Finish {
            Shared& shared;
            Call& call;
            ~Finish() {
                std::lock_guard lock(shared.mutex);
                call.state = Call::State::Done;
                shared.changed.notify_all();
            }
        } finish{*shared, *call};
        runHandled(*loop, fn);
    });

    shared->changed.wait(workerLock,
                         [&] { return call->state == Call::State::Done || shared->cancelled; });
    if (call->state == Call::State::Done) return true;
    if (call->state == Call::State::Pending) call->state = Call::State::Dropped;
    return false;
}

void HandOver::cancel() {
    std::lock_guard lock(shared_->mutex);
    shared_->cancelled = true;
    shared_->changed.notify_all();
}

bool HandOver::cancelled() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->cancelled;
}

}  // namespace obu
