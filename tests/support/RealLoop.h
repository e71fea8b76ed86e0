#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Helpers for tests on Qt's real loop. They wait for conditions with generous
// deadlines and never judge exact timing, so a slow or busy machine does not
// fail them.
namespace obu::test {

// Qt's loop needs one application object per process.
inline QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "real_loop_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                                : new QCoreApplication(argc, argv);
    return *app;
}

// Runs the loop until the condition holds; false when maxMs ran out.
inline bool pumpUntil(const std::function<bool()>& condition, int maxMs = 10000) {
    application();
    QElapsedTimer elapsed;
    elapsed.start();
    // Wakes the loop now and then, so that waiting never outlasts the deadline.
    QTimer wake;
    wake.start(2);
    while (!condition()) {
        if (elapsed.elapsed() > maxMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void pumpFor(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    pumpUntil([&] { return elapsed.elapsed() >= ms; }, ms + 10000);
}

}  // namespace obu::test
