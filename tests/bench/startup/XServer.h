#pragma once
// A private Xvfb for the benchmarks that need a screen, and what they look
// at on it.
#include <sys/types.h>

#include <QString>

struct _XDisplay;

namespace obu::bench {

class XServer {
public:
    // Starts Xvfb on a free display; ok() tells whether it answers.
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return m_display != nullptr; }
    // ":N", for the DISPLAY of the programs started on it.
    QString name() const { return m_name; }
    pid_t pid() const { return m_pid; }
    _XDisplay* display() const { return m_display; }

    // True once a viewable top-level window of this size shows a picture
    // (many colours in a strip across its middle) rather than a blank.
    bool showsPicture(int width, int height) const;

private:
    pid_t m_pid = -1;
    QString m_name;
    _XDisplay* m_display = nullptr;
};

// Processor time of a process's living threads, in seconds (to the nanosecond).
double processorSeconds(pid_t pid);

}  // namespace obu::bench
