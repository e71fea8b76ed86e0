#pragma once
// What the watch benchmarks measure on the real Qt loop: how much of a core
// the idle program costs, and how long a condition takes to come true.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace obu::bench {

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the loop, sleeping between events, until the condition holds or the
// time is up; the condition is looked at every millisecond.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Runs the loop for a while with nothing else to do; the share of one core
// that the process (all its threads) used meanwhile, in percent.
inline double idleShare(int seconds) {
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0) * 100.0;
}

// How long each watch runs: OBU_BENCH_WATCH_SECONDS, else 30 s.
inline int watchSeconds() {
    return qEnvironmentVariableIsSet("OBU_BENCH_WATCH_SECONDS")
               ? qEnvironmentVariableIntValue("OBU_BENCH_WATCH_SECONDS")
               : 30;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

inline void printDelays(const char* what, std::vector<double> delays, const char* goal) {
    std::sort(delays.begin(), delays.end());
    std::printf("%s over %zu drops: min %.2f ms, median %.2f ms, max %.2f ms   (%s)\n", what,
                delays.size(), delays.front(), delays[delays.size() / 2], delays.back(), goal);
}

}  // namespace obu::bench
