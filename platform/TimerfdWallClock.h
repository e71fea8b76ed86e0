#pragma once
#include <QObject>
#include <QStringList>
#include <map>
#include <memory>

#include "platform/WallClock.h"

class QSocketNotifier;

namespace obu {

class EventLoop;

// The wall clock's waits on Linux. Each wait is a timerfd on CLOCK_REALTIME
// armed for its absolute moment with TFD_TIMER_CANCEL_ON_SET, so the kernel
// wakes it at the moment or when the clock is set (by hand, by a time
// daemon's step, on resume from sleep). The local time zone comes from files;
// inotify on them wakes every wait when one of them changes or is replaced.
// Between those events nothing wakes the program.
class TimerfdWallClock : public QObject, public WallClock {
    Q_OBJECT
public:
    // zoneFiles: the files whose change moves local time.
    explicit TimerfdWallClock(EventLoop& loop, QStringList zoneFiles = zoneFilesOfEnvironment());
    ~TimerfdWallClock() override;

    WaitId waitUntil(const QDateTime& moment, std::function<void()> onWake) override;
    void cancel(WaitId id) override;

    // The files the C library takes the local zone from: the file TZ names,
    // or /etc/localtime without TZ, and the file either links to; none for a
    // zone written out as a rule ("EST5EDT,M3.2.0,M11.1.0").
    static QStringList zoneFilesOfEnvironment();

private:
    struct Wait;
    bool arm(Wait& wait, const QDateTime& moment);
    void armFallback(WaitId id, Wait& wait, const QDateTime& moment);
    // The wait is over: it is forgotten, then its function runs.
    void end(WaitId id);
    void watchZone();
    void onZoneEvent();

    EventLoop& m_loop;
    QStringList m_zoneFiles;
    std::map<WaitId, std::unique_ptr<Wait>> m_waits;
    WaitId m_nextId = 1;
    int m_zoneFd = -1;
    QSocketNotifier* m_zoneNotifier = nullptr;
    // By watch: the name awaited in a folder, or empty for a file's own watch.
    std::map<int, QString> m_zoneNames;
};

}  // namespace obu
