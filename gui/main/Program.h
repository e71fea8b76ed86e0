#pragma once
#include <memory>

#include "gui/main/Application.h"

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

// The running program: the application object and its seven windows, made in
// their fixed order (the splash window first, so it is the main form) and
// destroyed in the reverse order, so that the main window saves its settings
// while the tray menu still exists.
class Program {
public:
    explicit Program(Platform& platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Platform& platform() const { return platform_; }
    obu::Application& application() { return application_; }

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
    Platform& platform_;
    obu::Application application_;
    std::unique_ptr<SplashScreen> splashScreen_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<ExtrasEditor> extrasEditor_;
    std::unique_ptr<ReconnectCountdown> reconnectCountdown_;
    std::unique_ptr<CreditsWindow> creditsWindow_;
    std::unique_ptr<DisconnectTimerDialog> disconnectTimerDialog_;
    std::unique_ptr<DisconnectCountdown> disconnectCountdown_;
};

}  // namespace obu
