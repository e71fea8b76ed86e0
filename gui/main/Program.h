#pragma once
#include <memory>

#include "gui/program/ProgramModel.h"
#include "model/WebPageOpener.h"

namespace obu {

class MainWindow;
class SplashScreen;
class TrayMenu;
class CreditsWindow;
class ExtrasEditor;
class ReconnectCountdown;
class DisconnectTimerDialog;
class DisconnectCountdown;
class LineNotices;

// The running program: what the windows show (its model) and the seven
// windows, made in their fixed order (the splash window first, so it is the
// main form) and destroyed in the reverse order. The model outlives every
// window, so the main window saves the settings with everything it reads
// still there.
class Program : public ProgramModel {
public:
    explicit Program(Platform& platform);
    ~Program() override;

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

    std::unique_ptr<LineNotices> m_lineNotices;
    // Opens the maker's and the product's web pages for the tray menu; none
    // without a registry and a shell.
    std::unique_ptr<WebPageOpener> m_webPageOpener;
    std::unique_ptr<SplashScreen> m_splashScreen;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<ExtrasEditor> m_extrasEditor;
    std::unique_ptr<ReconnectCountdown> m_reconnectCountdown;
    std::unique_ptr<CreditsWindow> m_creditsWindow;
    std::unique_ptr<DisconnectTimerDialog> m_disconnectTimerDialog;
    std::unique_ptr<DisconnectCountdown> m_disconnectCountdown;
};

}  // namespace obu
