#pragma once
#include <memory>

#include "gui/main/Application.h"
#include "model/AlarmClock.h"
#include "model/EventLog.h"
#include "model/Extras.h"
#include "model/Settings.h"
#include "model/UserOptions.h"

namespace obu {

struct Platform;
class MainWindow;
class SplashScreen;
class TrayMenu;
class CreditsWindow;
class ExtrasEditor;
class ReconnectCountdown;
class DisconnectTimerDialog;
class DisconnectCountdown;
class LineKeeper;

// The running program: the application object, what the windows show (the
// settings, the log, the options, the alarm clock, the extras and the line
// keeper) and the seven windows,
// made in their fixed order (the splash window first, so it is the main form)
// and destroyed in the reverse order. The model outlives every window, so
// the main window saves the settings with everything it reads still there.
class Program {
public:
    explicit Program(Platform& platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Platform& platform() const { return platform_; }
    obu::Application& application() { return application_; }
    // Made before any window; the file is read and the log started by the
    // main window's start-up.
    Settings& settings() { return settings_; }
    EventLog& eventLog() { return eventLog_; }
    UserOptions& options() { return options_; }
    AlarmClock& alarmClock() { return alarmClock_; }
    Extras& extras() { return extras_; }
    // Made once the splash window is up, before the main window.
    LineKeeper& lineKeeper() { return *lineKeeper_; }

    SplashScreen* splashScreen = nullptr;
    // Lives with the splash window, which is never destroyed before the end.
    TrayMenu* trayMenu = nullptr;
    MainWindow* mainWindow = nullptr;
    ExtrasEditor* extrasEditor = nullptr;
    ReconnectCountdown* reconnectCountdown = nullptr;
    CreditsWindow* creditsWindow = nullptr;
    DisconnectTimerDialog* disconnectTimerDialog = nullptr;
    DisconnectCountdown* disconnectCountdown = nullptr;

private:
    // The keeper's announcements reach the tray menu and the countdown windows.
    void showLineKeeperInTray();
    void showCountdowns();
    // What one window asks of another goes through here: no window commands
    // another itself.
    void connectWindows();
    void connectTrayMenu();
    // Shown again, from the tray, in its normal state.
    void restoreMainWindow();

    Platform& platform_;
    obu::Application application_;
    Settings settings_;
    EventLog eventLog_;
    UserOptions options_;
    AlarmClock alarmClock_;
    Extras extras_;
    std::unique_ptr<LineKeeper> lineKeeper_;
    std::unique_ptr<SplashScreen> splashScreen_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<ExtrasEditor> extrasEditor_;
    std::unique_ptr<ReconnectCountdown> reconnectCountdown_;
    std::unique_ptr<CreditsWindow> creditsWindow_;
    std::unique_ptr<DisconnectTimerDialog> disconnectTimerDialog_;
    std::unique_ptr<DisconnectCountdown> disconnectCountdown_;
};

}  // namespace obu
