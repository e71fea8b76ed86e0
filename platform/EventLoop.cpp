#include "platform/EventLoop.h"

#include "platform/Dispatcher.h"

namespace obu {

void EventLoop::dispatch(const std::function<void()>& fn) {
    if (m_dispatcher)
        m_dispatcher->run(fn);
    else
        fn();
}

}  // namespace obu
