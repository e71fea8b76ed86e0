// Minimizing the dial-up status window titled "Connected to" and the entry's
// name once a connection is up.
#include "gui/main/MainWindow.h"
#include "model/LineKeeper.h"
#include "platform/Platform.h"
#include "platform/Windows.h"

namespace obu {

namespace {

// The whole title is compared, however long the entry's name is.
bool minimizeIfShown(Windows& windows, const QString& entryName) {
    const QString title = QStringLiteral("Connected to ") + entryName;
    const Windows::Handle window = windows.findWindowTitled(title);
    if (!window) return false;
    windows.minimizeWindow(window);
    return true;
}

}  // namespace

// Runs from the connection until the window is found: it may come up well
// after the connection event. Where the window system tells when windows
// come or change their titles, the search runs at those moments instead of
// at every tick, so nothing is spent while the desktop stays as it is.
void MainWindow::minimizeDialUpWindow() {
    Windows* windows = platform().windows;
    if (!windows) return;
    const bool told = windows->watch([this, windows] {
        handle([this, windows] {
            if (minimizeIfShown(*windows, m_keeper.entryName())) windows->unwatch();
        });
    });
    if (minimizeIfShown(*windows, m_keeper.entryName())) {
        windows->unwatch();
        m_dialUpWindowSearch.setEnabled(false);
        return;
    }
    if (told) m_dialUpWindowSearch.setEnabled(false);
}

}  // namespace obu
