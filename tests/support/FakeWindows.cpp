#include "tests/support/FakeWindows.h"

namespace obu::test {

Windows::Handle FakeWindows::open(const QString& title) {
    m_windows.append({m_next, title});
    return m_next++;
}

void FakeWindows::close(Handle window) {
    m_windows.removeIf([&](const Window& w) { return w.handle == window; });
}

void FakeWindows::setTitle(Handle window, const QString& title) {
    for (Window& w : m_windows)
        if (w.handle == window) w.title = title;
}

bool FakeWindows::isMinimized(Handle window) const {
    for (const Window& w : m_windows)
        if (w.handle == window) return w.minimized;
    return false;
}

Windows::Handle FakeWindows::findWindowTitled(const QString& title) {
    searchedTitles.append(title);
    for (const Window& w : m_windows)
        if (titleMatches(w.title, title)) return w.handle;
    return 0;
}

bool FakeWindows::minimize(Handle window) {
    minimizeRequests.append(window);
    for (Window& w : m_windows)
        if (w.handle == window) {
            w.minimized = true;
            return true;
        }
    return false;
}

}  // namespace obu::test
