#pragma once
#include <QString>

namespace obu {

// Short messages on the desktop, for what happens while the user is not
// looking at the program's windows.
class Notifications {
public:
    virtual ~Notifications() = default;
    // Shown with the program's icon when the desktop has a notification
    // server; nothing happens when it has none.
    virtual void notify(const QString& summary, const QString& body) = 0;
};

}  // namespace obu
