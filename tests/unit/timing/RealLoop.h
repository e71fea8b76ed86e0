#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

// Helpers for tests on the real Qt loop and real threads. They wait for
// conditions with generous deadlines and never judge exact timing, so a slow
// or busy machine does not fail them.
namespace obu::test {

// Qt's loop needs one application object per process.
inline QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "timing_tests";
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
    // Wakes the loop now and then, so that waiting for events never outlasts the deadline.
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

// Turns a deadlock into a failure with a message instead of a hung test.
class Watchdog {
public:
    explicit Watchdog(const char* what, int seconds = 60)
        : thread_([this, what, seconds] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return over_; })) {
                  std::fprintf(stderr, "deadlock: %s did not finish in %d s\n", what, seconds);
                  std::_Exit(2);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            over_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool over_ = false;
    std::thread thread_;
};

}  // namespace obu::test
