#include "tests/support/RecordingTrayShell.h"

namespace obu::test {

void RecordingTrayShell::show(const QIcon& picture, const QString& tip) {
    m_shown = true;
    m_picture = picture;
    m_tip = tip;
    ++m_shows;
}

void RecordingTrayShell::hide() {
    if (m_shown) ++m_hides;
    m_shown = false;
}

bool RecordingTrayShell::act(TrayAction action) {
    if (!m_shown) return false;
    report(action);
    return true;
}

}  // namespace obu::test
