#pragma once
#include <QAction>
#include <QMenu>
#include <QObject>
#include <functional>
#include <memory>

#include "gui/shell/TrayIcon.h"
#include "model/UserOptions.h"

namespace obu {

class ProgramModel;
struct Platform;

// The program's icon in the notification area and its menu. The check marks
// of the Options menu show the program's options and send the user's toggles.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    // The menu is a popup of `owner`, the window that lives as long as the program.
    TrayMenu(ProgramModel& program, QWidget* owner);
    ~TrayMenu() override;

    // The icon in the notification area, which pops the menu up.
    TrayIcon& trayIcon() const { return *m_trayIcon; }

    // The Connect item: its caption for a free or a taken line, and whether it can be used.
    void showConnectItem(bool lineFree);
    void enableConnectItem(bool enabled);
    // Set Alarm and Connection, which open the main window's panel.
    void enablePanelItems(bool enabled);
    // "Hide OBU" while the main window is on show, "Show OBU" while it is not.
    void showHideShowItem(bool windowShown);
    // The menu as the main window's popup menu, at a point of the screen.
    void popUpAt(const QPoint& where);

signals:
    // The icon was clicked: the main window comes to the front.
    void mainWindowWanted();
    // Hide OBU hides the main window and the extras editor; Show OBU brings
    // the main window back, as do the items that open a part of it.
    void hideWanted();
    void showWanted();
    void connectionPageWanted();
    void alarmPageWanted();
    void aboutWanted();
    void extrasEditorWanted();
    void extrasLaunchWanted();
    void webPageWanted(const QString& address);
    void disconnectTimerWanted();
    void exitWanted();

private:
    void buildMenu(QWidget* owner);
    QAction* addItem(QMenu* to, const QString& name, const QString& caption,
                     std::function<void()> handler);
    QAction* addOption(const QString& name, const QString& caption, UserOptions::Option option);
    QAction* optionItem(UserOptions::Option option) const;

    void hideOrShowMainWindow();
    void connectOrDisconnect();
    void openHelp();

    ProgramModel& m_program;
    Platform& m_platform;
    std::unique_ptr<TrayIcon> m_trayIcon;
    // The menu and its items are named for what they do (the Sound option is
    // "soundOption"): tests and accessibility tools find them by that name.
    QMenu* m_menu = nullptr;
    QMenu* m_setupMenu = nullptr;
    QMenu* m_optionsMenu = nullptr;
    QAction* m_extrasItem = nullptr;
    QAction* m_connectionItem = nullptr;
    QAction* m_setAlarmItem = nullptr;
    QAction* m_clearAlarmItem = nullptr;
    QAction* m_soundOption = nullptr;
    QAction* m_connectOnStartOption = nullptr;
    QAction* m_minimizeOnConnectOption = nullptr;
    QAction* m_minimizeDialUpOption = nullptr;
    QAction* m_redialIfBusyOption = nullptr;
    QAction* m_launchExtrasItem = nullptr;
    QAction* m_disconnectTimerItem = nullptr;
    QAction* m_studioPageItem = nullptr;
    QAction* m_obuPageItem = nullptr;
    QAction* m_helpItem = nullptr;
    QAction* m_aboutItem = nullptr;
    QAction* m_hideShowItem = nullptr;
    QAction* m_connectItem = nullptr;
    QAction* m_exitItem = nullptr;
};

}  // namespace obu
