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

    bool ok() const { return display_ != nullptr; }
    // ":N", for the DISPLAY of the programs started on it.
    QString name() const { return name_; }
    pid_t pid() const { return pid_; }
    _XDisplay* display() const { return display_; }

    // True once a viewable top-level window of this size shows a picture
    // (many colours in a strip across its middle) rather than a blank.
    bool showsPicture(int width, int height) const;

private:
    pid_t pid_ = -1;
    QString name_;
    _XDisplay* display_ = nullptr;
};

// Processor time of a process's living threads, in seconds (to the nanosecond).
double processorSeconds(pid_t pid);

}  // namespace obu::bench
