// The main window hides itself in the tray when minimized.
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Platform.h"
#include "platform/TrayShell.h"
#include "shell/TrayMenu.h"

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
