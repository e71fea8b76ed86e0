#pragma once
#include <QString>
#include <functional>

namespace obu {

class Clock;
class Dialogs;
class Dispatcher;
class EventLoop;
class Formats;
class Profile;
class RasApi;

// Everything the program takes from the operating system, gathered in one
// place. main() fills it with the Linux implementations, a test with doubles;
// nothing reaches the real system around it.
struct Platform {
    Clock* clock = nullptr;
    EventLoop* loop = nullptr;
    Dialogs* dialogs = nullptr;
    Dispatcher* dispatcher = nullptr;
    Profile* profile = nullptr;
    Formats* formats = nullptr;
    RasApi* ras = nullptr;

    // The folder of the executable, with a trailing '/'.
    QString programFolder;
    // Called with every line written to the log (the headless mode echoes them).
    std::function<void(const QString&)> logEcho;
};

}  // namespace obu
