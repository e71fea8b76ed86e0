// Press and release of the main window's skin buttons: the face, then the sound.
#include "core/TForm1.h"

namespace obu {

void TForm1::SkinButtonDown(TSkinImage* button, const TImageList& list) {
    button->DrawFace(list, 1);
    PlayUiSound(QStringLiteral("obubtnd.okx"));
}

void TForm1::SkinButtonUp(TSkinImage* button, const TImageList& list) {
    button->DrawFace(list, 0);
    PlayUiSound(QStringLiteral("obubtnu.okx"));
}

}  // namespace obu
