// The main window hides itself in the tray when minimized.
#include "gui/desktop/TrayShell.h"
#include "gui/main/MainWindow.h"
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
    emit shownChanged(false);
}

void MainWindow::onShown() {
    emit shownChanged(true);
}

}  // namespace obu
