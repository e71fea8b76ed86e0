#pragma once
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <memory>

#include "shell/TrayIcon.h"

#include "platform/WindowTimer.h"
#include "ui/Form.h"

namespace obu {

enum class Setting;

// The splash window, shown for five seconds at start. Being made first it is
// the main form: closing it ends the program. It owns the tray menu, whose
// option check marks are the program's switches.
class SplashScreen : public Form {
    Q_OBJECT
public:
    explicit SplashScreen(Program& program);

    ~SplashScreen() override;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    WindowTimer Timer1;
    std::unique_ptr<TrayIcon> trayIcon;
    QMenu* PopupMenu1 = nullptr;

    QMenu* Setup1 = nullptr;
    QAction* Extras1 = nullptr;
    QAction* Connection1 = nullptr;
    QAction* SetTime1 = nullptr;
    QAction* ClearAlarmTime1 = nullptr;
    QMenu* Options1 = nullptr;
    QAction* Sound1 = nullptr;
    QAction* ConnectonStart1 = nullptr;
    QAction* MinimizeonConnect1 = nullptr;
    QAction* MinimizeDUNonConnect1 = nullptr;
    QAction* RedialifLineisBusy1 = nullptr;
    QAction* LaunchExtras1 = nullptr;
    QAction* DisconnectTimer1 = nullptr;
    QAction* VantorStudioWebpage1 = nullptr;
    QAction* OBUWebpage1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* AboutOBU1 = nullptr;
    QAction* HideOBU1 = nullptr;
    QAction* Connect1 = nullptr;
    QAction* Exit1 = nullptr;

    void Timer1Timer();
    void TrayIcon1Click();
    void HideOBU1Click();
    void Sound1Click();
    void ConnectonStart1Click();
    void MinimizeonConnect1Click();
    void MinimizeDUNonConnect1Click();
    void RedialifLineisBusy1Click();
    void Exit1Click();
    void Connect1Click();
    void Connection1Click();
    void SetTime1Click();
    void ClearAlarmTime1Click();
    void LaunchExtras1Click();
    void AboutOBU1Click();
    void Extras1Click();
    void VantorStudioWebpage1Click();
    void OBUWebpage1Click();
    void Help1Click();
    void DisconnectTimer1Click();
    // Sets the main window's state to normal, then shows it.
    void BringUpMainWindow();

protected:
    bool isMainForm() const override { return true; }

private:
    void buildMenu();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                     void (SplashScreen::*handler)() = nullptr);
    // Toggles an option's check mark and writes it to the settings at once.
    void toggleOption(QAction* item, Setting setting);
};

}  // namespace obu
