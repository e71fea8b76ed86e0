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
class DialUpService;
class ModemCheck;
class Sound;
class TrayShell;
class Registry;
class Shell;
class Windows;
class Help;
class LinkProbe;
class WallClock;
class ResumeSource;
class Notifications;
class SecretStore;

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
    DialUpService* dialUp = nullptr;
    ModemCheck* modemCheck = nullptr;        // is an entry's modem held by another program?
    Sound* sound = nullptr;                  // wave sounds and MIDI tunes
    TrayShell* tray = nullptr;               // the notification-area icon
    Registry* registry = nullptr;            // the browser's command line
    Shell* shell = nullptr;                  // starting programs and opening documents
    Windows* windows = nullptr;              // finding and minimizing other windows
    Help* help = nullptr;                    // the help viewer
    LinkProbe* linkProbe = nullptr;          // does traffic pass over the line?
    WallClock* wallClock = nullptr;          // waits for a moment of the wall clock
    ResumeSource* resume = nullptr;          // says when the machine wakes from sleep
    Notifications* notifications = nullptr;  // messages on the desktop; none headless
    SecretStore* keyring = nullptr;          // keeps the passwords; none for a portable copy

    // The folder of the executable, with a trailing '/'.
    QString programFolder;
    // Where obu.ini and log.txt live (platform/DataFolders.h); empty means the
    // program's folder.
    QString settingsFolder;
    QString logFolder;
    QString settingsPath(const QString& name) const {
        return (settingsFolder.isEmpty() ? programFolder : settingsFolder) + name;
    }
    QString logPath(const QString& name) const {
        return (logFolder.isEmpty() ? programFolder : logFolder) + name;
    }
    // Called with every line written to the log (the headless mode echoes them).
    std::function<void(const QString&)> logEcho;
};

}  // namespace obu
