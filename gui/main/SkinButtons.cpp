// Press and release of the main window's skin buttons: the face, then the sound.
#include "gui/main/MainWindow.h"

namespace obu {

void MainWindow::pressSkinButton(SkinImage* button, const ImageList& list) {
    button->drawFace(list, 1);
    playUiSound(QStringLiteral("obubtnd.okx"));
}

void MainWindow::releaseSkinButton(SkinImage* button, const ImageList& list) {
    button->drawFace(list, 0);
    playUiSound(QStringLiteral("obubtnu.okx"));
}

}  // namespace obu
