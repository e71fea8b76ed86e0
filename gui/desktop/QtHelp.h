#pragma once
#include <memory>

#include "platform/Help.h"

namespace obu {

class HelpWindow;

// The help viewer on Linux: the program's own help window, which shows the
// help file's text. The window is made at the first request and kept, so a
// second request brings the same window forward.
class QtHelp : public Help {
public:
    QtHelp();
    ~QtHelp() override;
    QtHelp(const QtHelp&) = delete;
    QtHelp& operator=(const QtHelp&) = delete;

    bool showContents(const QString& helpFile) override;

    // The window, once a request has made it (for tests).
    HelpWindow* window() const { return m_window.get(); }

private:
    std::unique_ptr<HelpWindow> m_window;
};

}  // namespace obu
