#include "gui/main/Program.h"

#include <QGuiApplication>
#include <QIcon>
#include <functional>

#include "gui/connection/DisconnectCountdown.h"
#include "gui/connection/DisconnectTimerDialog.h"
#include "gui/connection/ReconnectCountdown.h"
#include "gui/extras/ExtrasEditor.h"
#include "gui/main/MainWindow.h"
#include "gui/shell/SplashScreen.h"
#include "gui/skin/CreditsWindow.h"
#include "model/LineKeeper.h"
#include "model/LineNotices.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"

namespace obu {

Program::Program(Platform& platform) : ProgramModel(platform) {
    // Every window carries the program's icon; under Wayland the desktop
    // file's name is the windows' application id, as WM_CLASS is under X11.
    QGuiApplication::setWindowIcon(QIcon(platform.programFolder + QStringLiteral("obu-icon.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.obu.Linekeeper"));
    m_splashScreen = std::make_unique<SplashScreen>(*this);
    splashScreen = m_splashScreen.get();
    trayMenu = &splashScreen->trayMenu();
    makeLineKeeper();
    if (platform.registry && platform.shell)
        m_webPageOpener = std::make_unique<WebPageOpener>(*platform.registry, *platform.shell);
    showLineKeeperInTray();
    tellDesktopWhileAway();
    m_mainWindow = std::make_unique<MainWindow>(*this);
    mainWindow = m_mainWindow.get();
    QObject::connect(mainWindow, &MainWindow::commandsEnabledChanged, trayMenu,
                     &TrayMenu::enableConnectItem);
    QObject::connect(mainWindow, &MainWindow::panelItemsEnabledChanged, trayMenu,
                     &TrayMenu::enablePanelItems);
    QObject::connect(mainWindow, &MainWindow::shownChanged, trayMenu, &TrayMenu::showHideShowItem);
    QObject::connect(mainWindow, &MainWindow::menuRequested, trayMenu, &TrayMenu::popUpAt);
    m_extrasEditor = std::make_unique<ExtrasEditor>(*this);
    extrasEditor = m_extrasEditor.get();
    m_reconnectCountdown =
        std::make_unique<ReconnectCountdown>(*this, lineKeeper().reconnectCountdown());
    reconnectCountdown = m_reconnectCountdown.get();
    m_creditsWindow = std::make_unique<CreditsWindow>(*this);
    creditsWindow = m_creditsWindow.get();
    m_disconnectTimerDialog = std::make_unique<DisconnectTimerDialog>(*this);
    disconnectTimerDialog = m_disconnectTimerDialog.get();
    m_disconnectCountdown =
        std::make_unique<DisconnectCountdown>(*this, lineKeeper().disconnectCountdown());
    disconnectCountdown = m_disconnectCountdown.get();
    showCountdowns();
    connectWindows();
    connectTrayMenu();
}

void Program::connectWindows() {
    QObject::connect(splashScreen, &SplashScreen::mainWindowWanted, mainWindow,
                     &MainWindow::showWindow);
    QObject::connect(mainWindow, &MainWindow::exitWanted, splashScreen, &SplashScreen::closeWindow);
    // Not modal: the main window stays usable. A shown editor only comes to the
    // front and keeps the user's edits; the rows are filled when it appears.
    QObject::connect(mainWindow, &MainWindow::extrasEditorWanted, extrasEditor,
                     &ExtrasEditor::bringToFront);
    QObject::connect(mainWindow, &MainWindow::creditsWanted, creditsWindow,
                     &CreditsWindow::showWindow);
}

void Program::restoreMainWindow() {
    mainWindow->setShowState(ShowState::Normal);
    mainWindow->showWindow();
}

void Program::connectTrayMenu() {
    TrayMenu* tray = trayMenu;
    MainWindow* main = mainWindow;
    QObject::connect(tray, &TrayMenu::mainWindowWanted, main, [main] {
        main->showWindow();
        main->setShowState(ShowState::Normal);
        main->bringToFront();
    });
    QObject::connect(tray, &TrayMenu::hideWanted, main, [this] {
        mainWindow->hideWindow();
        extrasEditor->hideWindow();
    });
    // Show OBU, and the items that open a part of the main window, bring it back first.
    const auto restoredThen = [this](std::function<void()> command) {
        return [this, command = std::move(command)] {
            restoreMainWindow();
            command();
        };
    };
    QObject::connect(tray, &TrayMenu::showWanted, main, restoredThen([] {}));
    QObject::connect(tray, &TrayMenu::connectionPageWanted, main,
                     restoredThen([main] { main->settingsPanel().openConnectionPage(); }));
    QObject::connect(tray, &TrayMenu::alarmPageWanted, main,
                     restoredThen([main] { main->settingsPanel().openAlarmPage(); }));
    QObject::connect(tray, &TrayMenu::aboutWanted, main,
                     restoredThen([main] { main->showAbout(); }));
    QObject::connect(tray, &TrayMenu::extrasEditorWanted, main,
                     restoredThen([this] { extrasEditor->bringToFront(); }));
    QObject::connect(tray, &TrayMenu::extrasLaunchWanted, main, &MainWindow::launchExtras);
    // The result is not shown: a page that does not open leaves nothing to report here.
    QObject::connect(tray, &TrayMenu::webPageWanted, main, [this](const QString& address) {
        if (WebPageOpener* web = m_webPageOpener.get()) {
            web->setUrl(address);
            web->open();
        }
    });
    QObject::connect(tray, &TrayMenu::disconnectTimerWanted, disconnectTimerDialog,
                     &DisconnectTimerDialog::showWindow);
    QObject::connect(tray, &TrayMenu::exitWanted, splashScreen, &SplashScreen::closeWindow);
}

void Program::showLineKeeperInTray() {
    LineKeeper& keeper = lineKeeper();
    QObject::connect(&keeper, &LineKeeper::connectItemChanged, trayMenu,
                     &TrayMenu::showConnectItem);
    QObject::connect(&keeper, &LineKeeper::connectCommandEnabled, trayMenu,
                     &TrayMenu::enableConnectItem);
}

// Before the main window follows the keeper: a drop brings it forward, and
// the message is for a user who had put it away.
void Program::tellDesktopWhileAway() {
    if (!platform().notifications) return;
    m_lineNotices = std::make_unique<LineNotices>(lineKeeper(), *platform().notifications, [this] {
        return !mainWindow || mainWindow->isHidden() || mainWindow->isMinimized();
    });
}

// The countdown windows only show the keeper's counts; the main window has
// come forward before either shows.
void Program::showCountdowns() {
    LineKeeper& keeper = lineKeeper();
    QObject::connect(&keeper, &LineKeeper::reconnectOffered, reconnectCountdown,
                     &ReconnectCountdown::showWindow);
    QObject::connect(&keeper, &LineKeeper::reconnectOfferClosed, reconnectCountdown,
                     &ReconnectCountdown::hideWindow);
    QObject::connect(reconnectCountdown, &ReconnectCountdown::cancelled, &keeper,
                     &LineKeeper::cancelReconnect);
    QObject::connect(&keeper, &LineKeeper::disconnectWarningStarted, disconnectCountdown,
                     &DisconnectCountdown::showWindow);
    QObject::connect(&keeper, &LineKeeper::disconnectWarningClosed, disconnectCountdown,
                     &DisconnectCountdown::hideWindow);
    QObject::connect(disconnectCountdown, &DisconnectCountdown::cancelled, &keeper,
                     &LineKeeper::cancelDisconnectWarning);
}

Program::~Program() {
    m_disconnectCountdown.reset();
    disconnectCountdown = nullptr;
    m_disconnectTimerDialog.reset();
    disconnectTimerDialog = nullptr;
    m_creditsWindow.reset();
    creditsWindow = nullptr;
    m_reconnectCountdown.reset();
    reconnectCountdown = nullptr;
    m_extrasEditor.reset();
    extrasEditor = nullptr;
    m_mainWindow.reset();
    mainWindow = nullptr;
    trayMenu = nullptr;
    m_splashScreen.reset();
    splashScreen = nullptr;
}

}  // namespace obu
