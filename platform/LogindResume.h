#pragma once
#include <QDBusConnection>
#include <functional>

#include "platform/ResumeSource.h"

namespace obu {

class EventLoop;

// The machine's wake from sleep as logind tells it: PrepareForSleep(false)
// of org.freedesktop.login1.Manager on the system bus (DBUS_SYSTEM_BUS_ADDRESS
// when set). Only the owner of org.freedesktop.login1 is heard. Without a bus,
// or with nobody owning that name, it never says resumed() and says once
// that it cannot.
class LogindResume : public ResumeSource {
    Q_OBJECT
public:
    static const char* const kUnreachableMessage;

    // `warn` hears that line; standard error when it is empty.
    explicit LogindResume(EventLoop& loop, std::function<void(const QString&)> warn = {});
    LogindResume(EventLoop& loop, const QDBusConnection& bus,
                 std::function<void(const QString&)> warn = {});

private:
    Q_SLOT void onPrepareForSleep(bool starting);
    void warnOnce();

    EventLoop& m_loop;
    QDBusConnection m_bus;
    std::function<void(const QString&)> m_warn;
    bool m_warned = false;
};

}  // namespace obu
