#include "gui/desktop/QtHelp.h"

#include "gui/desktop/HelpWindow.h"

namespace obu {

QtHelp::QtHelp() = default;

QtHelp::~QtHelp() = default;

bool QtHelp::showContents(const QString& helpFile) {
    if (!window_) window_ = std::make_unique<HelpWindow>();
    if (!window_->load(helpFile)) return false;
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
    return true;
}

}  // namespace obu
