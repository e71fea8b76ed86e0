// The main window hides itself in the tray when minimized.
#include "core/Program.h"
#include "core/TForm1.h"
#include "platform/Platform.h"
#include "platform/TrayShell.h"
#include "shell/TForm2.h"

namespace obu {

void TForm1::FormResize() {
    if (WindowState() != TWindowState::wsMinimized) return;
    // Without a notification area a hidden window could not be brought back:
    // it then stays minimized on the taskbar instead.
    TrayShell* tray = platform().tray;
    if (tray && !tray->available()) return;
    Hide();
}

void TForm1::FormHide() { program().Form2->HideOBU1->setText(QStringLiteral("Show OBU")); }

void TForm1::FormShow() { program().Form2->HideOBU1->setText(QStringLiteral("Hide OBU")); }

}  // namespace obu
