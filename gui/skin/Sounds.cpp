// Sounds of the main window, which obey the "Sound" option.
#include "gui/main/MainWindow.h"
#include "gui/main/Program.h"
#include "gui/shell/TrayMenu.h"
#include "platform/Platform.h"
#include "platform/Sound.h"

namespace obu {

void MainWindow::playUiSound(const QString& fileName) {
    if (!m_options.isOn(UserOptions::Option::Sound) || !platform().sound) return;
    // Fire and forget: a missing file or a failing device never stops the action.
    platform().sound->playWave(fileName);
}

void MainWindow::playClick() {
    playUiSound(QStringLiteral("obuclick.okx"));
}

}  // namespace obu
