#pragma once
#include <functional>
#include <memory>

namespace obu {

class EventLoop;

// A worker thread's blocking call into the loop's thread: the worker posts a call and waits until
// it has run there.
//
// The owner can cancel at any time, from any thread, and never waits for the
// worker to do so. A cancelled hand-over releases every waiting worker at once
// and refuses later calls; a call that was posted but has not yet started
// never runs. The rule that keeps shutdown free of deadlocks: the owner
// cancels before it joins the worker, so the loop's thread never waits for a
// worker that waits for it.
//
// The call runs through the loop's dispatcher, and the worker is released only
// when the call is over, error box included: an error ends that call only, and
// the worker never gets ahead of a box that is still open.
class HandOver {
public:
    explicit HandOver(EventLoop& loop);
    // Cancels. A posted call may outlive this object but never runs after it,
    // and a worker still waiting here is released safely.
    ~HandOver();
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;

    // Runs fn on the loop's thread and returns true once it has run. Returns
    // false when the hand-over was cancelled first, or while fn was still
    // running (fn then finishes on the loop's thread without the worker).
    // On the loop's thread itself fn runs at once, in place.
    bool call(std::function<void()> fn);

    // Releases every waiting worker and refuses every later call. Final.
    void cancel();
    bool cancelled() const;

private:
    struct Shared;
    struct Call;

    EventLoop& loop_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace obu
