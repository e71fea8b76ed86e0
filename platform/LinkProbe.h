#pragma once
#include <QString>
#include <functional>

namespace obu {

// Whether traffic passes over the line: a TCP connection opened to an
// address beyond it and closed again at once.
class LinkProbe {
public:
    virtual ~LinkProbe() = default;
    // Tries to connect to host:port within timeoutMs and answers once,
    // through the event loop, with an empty text when it connected or with
    // why not. A probe started while another runs replaces it (the other
    // never answers).
    virtual void probe(const QString& host, int port, int timeoutMs,
                       std::function<void(const QString& failure)> done) = 0;
    // The probe under way never answers.
    virtual void cancel() = 0;
};

}  // namespace obu
