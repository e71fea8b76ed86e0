// The main window hides itself in the tray when minimized.
#include "gui/desktop/TrayShell.h"
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Platform.h"

namespace obu {

void MainWindow::onWindowStateChanged() {
    if (showState() != ShowState::Minimized) return;
    // Without a notification area a hidden window could not be brought back:
    // it then stays minimized on the taskbar instead.
    TrayShell* tray = platform().tray;
    if (tray && !tray->available()) return;
    hideWindow();
}

void MainWindow::onHidden() {
    program().trayMenu->hideShowItem->setText(QStringLiteral("Show OBU"));
}

void MainWindow::onShown() {
    program().trayMenu->hideShowItem->setText(QStringLiteral("Hide OBU"));
}

}  // namespace obu
