#pragma once
#include <QAction>
#include <QMenu>
#include <QObject>
#include <functional>
#include <memory>

#include "gui/shell/TrayIcon.h"
#include "model/Settings.h"

namespace obu {

class Program;
struct Platform;

// The program's icon in the notification area and its menu. The option check
// marks are the program's switches: what they say is what the program does.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    // The menu is a popup of `owner`, the window that lives as long as the program.
    TrayMenu(Program& program, QWidget* owner);
    ~TrayMenu() override;

    std::unique_ptr<TrayIcon> trayIcon;
    QMenu* menu = nullptr;

    QMenu* setupMenu = nullptr;
    QAction* extrasItem = nullptr;
    QAction* connectionItem = nullptr;
    QAction* setAlarmItem = nullptr;
    QAction* clearAlarmItem = nullptr;
    QMenu* optionsMenu = nullptr;
    QAction* soundOption = nullptr;
    QAction* connectOnStartOption = nullptr;
    QAction* minimizeOnConnectOption = nullptr;
    QAction* minimizeDialUpOption = nullptr;
    QAction* redialIfBusyOption = nullptr;
    QAction* launchExtrasItem = nullptr;
    QAction* disconnectTimerItem = nullptr;
    QAction* studioPageItem = nullptr;
    QAction* obuPageItem = nullptr;
    QAction* helpItem = nullptr;
    QAction* aboutItem = nullptr;
    QAction* hideShowItem = nullptr;
    QAction* connectItem = nullptr;
    QAction* exitItem = nullptr;

private:
    void buildMenu(QWidget* owner);
    QAction* addItem(QMenu* to, const QString& caption, std::function<void()> handler);
    QAction* addOption(const QString& caption, std::function<void()> handler);

    void showMainWindow();
    void bringUpMainWindow();
    void hideOrShowMainWindow();
    void connectOrDisconnect();
    void openConnectionSettings();
    void openAlarmSettings();
    void clearAlarm();
    void showAbout();
    void launchExtras();
    void openExtrasEditor();
    void openStudioPage();
    void openObuPage();
    void openHelp();
    void openDisconnectTimer();
    void exitProgram();
    // Toggles an option's check mark and writes it to the settings at once.
    void toggleOption(QAction* item, Setting setting);
    void toggleRedialIfBusy();

    Program& m_program;
    Platform& m_platform;
};

}  // namespace obu
