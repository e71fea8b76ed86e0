// Press and release of the main window's skin buttons: the face, then the sound.
#include "gui/main/MainWindow.h"

namespace obu {

void MainWindow::SkinButtonDown(SkinImage* button, const ImageList& list) {
    button->DrawFace(list, 1);
    PlayUiSound(QStringLiteral("obubtnd.okx"));
}

void MainWindow::SkinButtonUp(SkinImage* button, const ImageList& list) {
    button->DrawFace(list, 0);
    PlayUiSound(QStringLiteral("obubtnu.okx"));
}

}  // namespace obu
