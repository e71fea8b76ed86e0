#include "gui/desktop/QtHelp.h"

#include "gui/desktop/HelpWindow.h"

namespace obu {

QtHelp::QtHelp() = default;

QtHelp::~QtHelp() = default;

bool QtHelp::showContents(const QString& helpFile) {
    if (!m_window) m_window = std::make_unique<HelpWindow>();
    if (!m_window->load(helpFile)) return false;
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    return true;
}

}  // namespace obu
