#include "gui/main/Program.h"

#include "gui/connection/DisconnectCountdown.h"
#include "gui/connection/DisconnectTimerDialog.h"
#include "gui/connection/ReconnectCountdown.h"
#include "gui/extras/ExtrasEditor.h"
#include "gui/main/MainWindow.h"
#include "gui/shell/SplashScreen.h"
#include "gui/skin/CreditsWindow.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"

namespace obu {

Program::Program(Platform& platform) : platform_(platform) {
    platform_.dispatcher->setApplicationTitle(application_.Title);
    splashScreen_ = std::make_unique<SplashScreen>(*this);
    splashScreen = splashScreen_.get();
    trayMenu = splashScreen->trayMenu.get();
    mainWindow_ = std::make_unique<MainWindow>(*this);
    mainWindow = mainWindow_.get();
    extrasEditor_ = std::make_unique<ExtrasEditor>(*this);
    extrasEditor = extrasEditor_.get();
    reconnectCountdown_ = std::make_unique<ReconnectCountdown>(*this);
    reconnectCountdown = reconnectCountdown_.get();
    creditsWindow_ = std::make_unique<CreditsWindow>(*this);
    creditsWindow = creditsWindow_.get();
    disconnectTimerDialog_ = std::make_unique<DisconnectTimerDialog>(*this);
    disconnectTimerDialog = disconnectTimerDialog_.get();
    disconnectCountdown_ = std::make_unique<DisconnectCountdown>(*this);
    disconnectCountdown = disconnectCountdown_.get();

    // The countdown windows only count; what their end means is the main window's.
    QObject::connect(reconnectCountdown, &ReconnectCountdown::expired, mainWindow,
                     &MainWindow::reconnectNow);
    QObject::connect(reconnectCountdown, &ReconnectCountdown::cancelled, mainWindow,
                     &MainWindow::cancelReconnect);
    QObject::connect(disconnectCountdown, &DisconnectCountdown::expired, mainWindow,
                     &MainWindow::hangUpByDisconnectTimer);
}

Program::~Program() {
    disconnectCountdown_.reset();
    disconnectCountdown = nullptr;
    disconnectTimerDialog_.reset();
    disconnectTimerDialog = nullptr;
    creditsWindow_.reset();
    creditsWindow = nullptr;
    reconnectCountdown_.reset();
    reconnectCountdown = nullptr;
    extrasEditor_.reset();
    extrasEditor = nullptr;
    mainWindow_.reset();
    mainWindow = nullptr;
    trayMenu = nullptr;
    splashScreen_.reset();
    splashScreen = nullptr;
}

}  // namespace obu
