#pragma once
#include <QDBusConnection>

namespace obu {

// The system bus: the one that DBUS_SYSTEM_BUS_ADDRESS names when it is set
// (a test's private bus), else the machine's. Every user in the program gets
// the same named connection, so the program holds one connection to it.
QDBusConnection systemBus();

}  // namespace obu
