#pragma once
#include <functional>
#include <memory>

class QSocketNotifier;

#include "platform/Windows.h"

namespace obu {

// Windows of the X server named by $DISPLAY: the window manager's client list
// (_NET_CLIENT_LIST; without one, the clients below the root found by their
// state property), titled by _NET_WM_NAME (UTF-8), else the plain name property; a minimize request
// is XIconifyWindow, which asks the window manager to iconify.
//
// Watching selects the property changes of the roots and of every client
// a search reads (titles), and the creation and mapping of top-level
// windows; the display's socket then wakes the loop only when the server
// has something to say.
//
// Without an X server (a Wayland session without X, a headless run, or a
// server that has gone away) nothing is ever found and nothing happens; the
// first search says so once on standard error. Failures of the server never
// end the program.
class X11Windows : public Windows {
public:
    X11Windows();
    ~X11Windows() override;
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    Handle findWindowTitled(const QString& title) override;
    bool canSearch() override { return ensureConnection(); }

    bool watch(std::function<void()> changed) override;
    void unwatch() override;

    // Whether a server is connected (opened at the first search).
    bool connected() const;

    struct Connection;  // the display and its atoms, inside X11Windows.cpp

protected:
    bool minimize(Handle window) override;

private:
    bool ensureConnection();
    // Reads what the server sent; true when a window may have come or been renamed.
    bool takeEvents();
    void onEvents();
    std::unique_ptr<Connection> m_x;
    std::function<void()> m_changed;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_tried = false;
    bool m_told = false;
};

}  // namespace obu
