#include "tests/support/RecordingTrayShell.h"

namespace obu::test {

void RecordingTrayShell::show(const QIcon& picture, const QString& tip) {
    shown_ = true;
    picture_ = picture;
    tip_ = tip;
    ++shows_;
}

void RecordingTrayShell::hide() {
    if (shown_) ++hides_;
    shown_ = false;
}

bool RecordingTrayShell::act(TrayAction action) {
    if (!shown_) return false;
    report(action);
    return true;
}

}  // namespace obu::test
