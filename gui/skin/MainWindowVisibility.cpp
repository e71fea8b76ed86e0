// The main window hides itself in the tray when minimized.
#include "gui/desktop/TrayShell.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Platform.h"

namespace obu {

void MainWindow::FormResize() {
    if (WindowState() != TWindowState::wsMinimized) return;
    // Without a notification area a hidden window could not be brought back:
    // it then stays minimized on the taskbar instead.
    TrayShell* tray = platform().tray;
    if (tray && !tray->available()) return;
    Hide();
}

void MainWindow::FormHide() {
    program().trayMenu->hideShowItem->setText(QStringLiteral("Show OBU"));
}

void MainWindow::FormShow() {
    program().trayMenu->hideShowItem->setText(QStringLiteral("Hide OBU"));
}

}  // namespace obu
