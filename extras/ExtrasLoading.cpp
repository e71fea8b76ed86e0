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
        SavedLights[n] = settings->flag({Setting::ExtraLight, n});
}

void MainWindow::LoadExtrasReadTable() {
    for (int n = 1; n <= kExtraSlots; ++n)
        ExtrasTable[n].SlotSet = settings->flag({Setting::ExtraSet, n});
    for (int n = 1; n <= kExtraSlots; ++n) {
        TExtraSlot& slot = ExtrasTable[n];
        if (!slot.SlotSet) continue;
        slot.SlotName = settings->text({Setting::ExtraName, n}).left(kMaxFieldText);
        const QString path = settings->text({Setting::ExtraPath, n});
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
