// Filling the extras table and the lights at start-up.
#include "core/MainWindow.h"

namespace obu {

void MainWindow::LoadExtrasSwitchOff() {
    // The window's constructor makes the panel; made here too, the lights exist
    // whichever runs first.
    buildMiddlePanel();
    for (int n = 1; n <= kExtraSlots; ++n) {
        ExtraOn[n] = false;
        DrawLight(n);
    }
}

void MainWindow::LoadExtrasReadLights() {
    for (int n = 1; n <= kExtraSlots; ++n)
        SavedLights[n] =
            SettingsFile->ReadBool(QStringLiteral("Lights"), QString::number(n), false);
}

void MainWindow::LoadExtrasReadTable() {
    for (int n = 1; n <= kExtraSlots; ++n)
        ExtrasTable[n].SlotSet =
            SettingsFile->ReadBool(QStringLiteral("Extras Set"), QString::number(n), false);
    for (int n = 1; n <= kExtraSlots; ++n) {
        TExtraSlot& slot = ExtrasTable[n];
        if (!slot.SlotSet) continue;
        slot.SlotName =
            SettingsFile->ReadString(QStringLiteral("Extras Name"), QString::number(n), QString())
                .left(kMaxFieldText);
        const QString path =
            SettingsFile->ReadString(QStringLiteral("Extras Path"), QString::number(n), QString());
        slot.SlotPath = path.left(kMaxFieldText);
        slot.PathCut = path.size() > kMaxFieldText;
    }
}

void MainWindow::LoadExtrasShow() {
    // A light can be on only for a slot that has something to start; the
    // others stay off, disabled and "Not Set Yet".
    for (int n = 1; n <= kExtraSlots; ++n) {
        if (ExtrasTable[n].SlotPath.isEmpty()) continue;
        if (SavedLights[n]) {
            ExtraOn[n] = true;
            DrawLight(n);
        }
        ExtraLight(n)->setEnabled(true);
        ExtraNameLabel(n)->setText(ExtrasTable[n].SlotName);
    }
}

}  // namespace obu
