#pragma once
#include <memory>

#include "platform/LinkProbe.h"

namespace obu {

class EventLoop;

// A non-blocking connect() watched by the Qt event loop, with the loop's
// timer for the time limit. A name is looked up when the probe starts; an
// address costs no lookup, which matters when the line is dead.
class TcpLinkProbe : public LinkProbe {
public:
    explicit TcpLinkProbe(EventLoop& loop);
    ~TcpLinkProbe() override;

    void probe(const QString& host, int port, int timeoutMs,
               std::function<void(const QString& failure)> done) override;
    void cancel() override;

private:
    struct Attempt;
    void finish(const QString& failure);

    EventLoop& m_loop;
    std::unique_ptr<Attempt> m_attempt;
};

}  // namespace obu
