#pragma once
#include "platform/WindowTimer.h"

namespace obu {

class Form;
class LineKeeper;

// Minimizes the dial-up status window titled "Connected to" and the entry's
// name once a connection is up. The window may come up well after the
// connection event, so it is looked for until it is found.
class DialUpWindowMinimizer {
public:
    // The search runs its steps as user actions of `window`.
    DialUpWindowMinimizer(Form& window, LineKeeper& keeper);
    DialUpWindowMinimizer(const DialUpWindowMinimizer&) = delete;
    DialUpWindowMinimizer& operator=(const DialUpWindowMinimizer&) = delete;

    void start();
    // The program ends: nothing is looked for any more.
    void stop();
    // Runs from a connection until the window is found, or until the window
    // system promises to tell when windows change.
    const WindowTimer& search() const { return m_search; }

private:
    void lookNow();

    Form& m_window;
    LineKeeper& m_keeper;
    WindowTimer m_search;
};

}  // namespace obu
