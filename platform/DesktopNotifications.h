#pragma once
#include <QDBusConnection>
#include <QString>
#include <memory>

#include "platform/Notifications.h"

namespace obu {

// org.freedesktop.Notifications on the session bus. A message replaces the
// one shown before, so a drop, its reconnect and their outcome make one
// bubble that changes rather than a stack.
class DesktopNotifications : public Notifications {
public:
    // The icon: a file, given to the server as a file:// address.
    DesktopNotifications(QDBusConnection bus, const QString& iconFile);

    void notify(const QString& summary, const QString& body) override;

private:
    // Running now, or started by the bus on the first call (activatable).
    bool serverAvailable();

    QDBusConnection m_bus;
    QString m_icon;
    bool m_activatable = false;
    bool m_activatableKnown = false;
    // Written by the server's answer, on the loop.
    std::shared_ptr<uint> m_lastId = std::make_shared<uint>(0);
};

}  // namespace obu
