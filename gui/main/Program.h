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
class LineNotices;

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

    Platform& platform() const { return m_platform; }
    obu::Application& application() { return m_application; }
    // Made before any window; the file is read and the log started by the
    // main window's start-up.
    Settings& settings() { return m_settings; }
    EventLog& eventLog() { return m_eventLog; }
    UserOptions& options() { return m_options; }
    AlarmClock& alarmClock() { return m_alarmClock; }
    Extras& extras() { return m_extras; }
    // Made once the splash window is up, before the main window.
    LineKeeper& lineKeeper() { return *m_lineKeeper; }

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
    void tellDesktopWhileAway();
    // What one window asks of another goes through here: no window commands
    // another itself.
    void connectWindows();
    void connectTrayMenu();
    // Shown again, from the tray, in its normal state.
    void restoreMainWindow();

    Platform& m_platform;
    obu::Application m_application;
    Settings m_settings;
    EventLog m_eventLog;
    UserOptions m_options;
    AlarmClock m_alarmClock;
    Extras m_extras;
    std::unique_ptr<LineKeeper> m_lineKeeper;
    std::unique_ptr<LineNotices> m_lineNotices;
    std::unique_ptr<SplashScreen> m_splashScreen;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<ExtrasEditor> m_extrasEditor;
    std::unique_ptr<ReconnectCountdown> m_reconnectCountdown;
    std::unique_ptr<CreditsWindow> m_creditsWindow;
    std::unique_ptr<DisconnectTimerDialog> m_disconnectTimerDialog;
    std::unique_ptr<DisconnectCountdown> m_disconnectCountdown;
};

}  // namespace obu
