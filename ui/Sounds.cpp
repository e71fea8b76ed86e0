// Sounds of the main window, which obey the tray menu's "Sound" option.
#include "core/Program.h"
#include "core/TForm1.h"
#include "platform/Platform.h"
#include "platform/Sound.h"
#include "shell/TForm2.h"

namespace obu {

void TForm1::PlayUiSound(const QString& fileName) {
    if (!program().Form2->Sound1->isChecked() || !platform().sound) return;
    // Fire and forget: a missing file or a failing device never stops the action.
    platform().sound->playWave(fileName);
}

void TForm1::PlayClick() { PlayUiSound(QStringLiteral("obuclick.okx")); }

}  // namespace obu
