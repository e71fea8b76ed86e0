#pragma once
#include <QLabel>
#include <memory>

#include "gui/shell/TrayMenu.h"
#include "gui/skin/Form.h"
#include "platform/WindowTimer.h"

namespace obu {

// The splash window, shown for five seconds at start. Being made first it is
// the main form: closing it ends the program. It owns the tray menu, which
// lives as long as the program.
class SplashScreen : public Form {
    Q_OBJECT
public:
    explicit SplashScreen(ProgramModel& program);
    ~SplashScreen() override;

    TrayMenu& trayMenu() const { return *m_trayMenu; }

signals:
    // Five seconds after the start: the main window takes over.
    void mainWindowWanted();

protected:
    bool endsProgramWhenClosed() const override { return true; }

private:
    // Five seconds after the start: the main window takes over.
    void giveWayToMainWindow();

    QLabel* m_picture = nullptr;
    QLabel* m_version = nullptr;
    WindowTimer m_shownTime;
    std::unique_ptr<TrayMenu> m_trayMenu;
};

}  // namespace obu
