#include "gui/shell/DialUpWindowMinimizer.h"

#include "gui/skin/Form.h"
#include "model/LineKeeper.h"
#include "platform/Platform.h"
#include "platform/Windows.h"

namespace obu {

namespace {

// The whole title is compared, however long the entry's name is.
bool minimizeIfShown(Windows& windows, const QString& entryName) {
    const QString title = QStringLiteral("Connected to ") + entryName;
    const Windows::Handle window = windows.findWindowTitled(title);
    if (!window) return false;
    windows.minimizeWindow(window);
    return true;
}

}  // namespace

DialUpWindowMinimizer::DialUpWindowMinimizer(Form& window, LineKeeper& keeper)
    : m_window(window), m_keeper(keeper), m_search(*window.platform().loop, 1) {
    m_search.setOnTimer([this] { lookNow(); });
}

void DialUpWindowMinimizer::start() {
    m_search.setEnabled(true);
}

void DialUpWindowMinimizer::stop() {
    m_search.setEnabled(false);
    if (Windows* windows = m_window.platform().windows) windows->unwatch();
}

// Where the window system tells when windows come or change their titles,
// the search runs at those moments instead of at every tick, so nothing is
// spent while the desktop stays as it is.
void DialUpWindowMinimizer::lookNow() {
    Windows* windows = m_window.platform().windows;
    // Nothing to look for: the search stops instead of spinning.
    if (!windows || !windows->canSearch()) {
        m_search.setEnabled(false);
        return;
    }
    const bool told = windows->watch([this, windows] {
        m_window.handle([this, windows] {
            if (minimizeIfShown(*windows, m_keeper.entryName())) windows->unwatch();
        });
    });
    if (minimizeIfShown(*windows, m_keeper.entryName())) {
        windows->unwatch();
        m_search.setEnabled(false);
        return;
    }
    if (told) m_search.setEnabled(false);
}

}  // namespace obu
