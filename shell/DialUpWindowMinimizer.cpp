// Minimizing the system's "Connected to" window once a connection is up.
#include "core/TForm1.h"
#include "platform/Platform.h"
#include "platform/Windows.h"

namespace obu {

// Runs from the connection until the window is found: it may come up well
// after the connection event. The whole title is compared, however long the
// entry's name is.
void TForm1::Timer6Timer() {
    Windows* windows = platform().windows;
    if (!windows) return;
    const QString title = QStringLiteral("Connected to ") + RAS1->EntryName();
    const Windows::Handle window = windows->FindWindowA(QStringLiteral("#32770"), title);
    if (!window) return;
    windows->PostMessageA(window, Windows::WM_SYSCOMMAND, Windows::SC_MINIMIZE, 0);
    Timer6.setEnabled(false);
}

}  // namespace obu
