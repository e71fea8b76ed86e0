// Sounds of the main window, which obey the tray menu's "Sound" option.
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Platform.h"
#include "platform/Sound.h"
#include "shell/TrayMenu.h"

namespace obu {

void MainWindow::PlayUiSound(const QString& fileName) {
    if (!program().trayMenu->soundOption->isChecked() || !platform().sound) return;
    // Fire and forget: a missing file or a failing device never stops the action.
    platform().sound->playWave(fileName);
}

void MainWindow::PlayClick() {
    PlayUiSound(QStringLiteral("obuclick.okx"));
}

}  // namespace obu
