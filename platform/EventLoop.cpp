#include "platform/EventLoop.h"

#include "platform/Dispatcher.h"

namespace obu {

void EventLoop::dispatch(const std::function<void()>& fn) {
    if (dispatcher_)
        dispatcher_->run(fn);
    else
        fn();
}

}  // namespace obu
