#pragma once
#include <QObject>

namespace obu {

// Says when the machine wakes from sleep. Whatever waited through the sleep
// (a line that may have gone, an alarm whose minute may have passed) looks
// again. This base class never says so: it stands for a system that cannot
// tell, and a test emits resumed() itself. LogindResume is the Linux source.
class ResumeSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // The machine has woken; delivered through the program's loop.
    void resumed();
};

}  // namespace obu
