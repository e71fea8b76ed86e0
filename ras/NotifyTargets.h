#pragma once
#include <cstdint>
#include <functional>

namespace obu {

class EventLoop;

// A notification target is where a caller receives dial events without a
// window of its own: a number that names a procedure taking (message, wParam, lParam). The service
// posts dial events to it through the event loop; a message posted to a target
// that is destroyed before it runs is dropped, exactly as a message posted to a
// destroyed window is. Numbers are never reused within a process, so a stale
// number can never reach a newer target.
using NotifyTarget = std::uint32_t;

class NotifyTargets {
public:
    using Procedure = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam,
                                                  std::intptr_t lParam)>;

    // Creates a target (never 0) whose messages go to procedure.
    static NotifyTarget create(Procedure procedure);
    // Destroys a target; safe from inside its own procedure and for 0 or unknown numbers.
    static void destroy(NotifyTarget target);
    static bool exists(NotifyTarget target);
    // PostMessage: queues the message on loop; it reaches the procedure later on
    // the loop's thread, if the target still exists then. Callable from any thread.
    static void post(EventLoop& loop, NotifyTarget target, std::uint32_t message,
                     std::uintptr_t wParam, std::intptr_t lParam);
    // SendMessage: calls the procedure now; 0 when the target does not exist.
    static std::intptr_t send(NotifyTarget target, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);
    // Number of live targets (for tests that look for leaks).
    static int count();
};

}  // namespace obu
