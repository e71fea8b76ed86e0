#pragma once
#include <QString>
#include <QtGlobal>

#include <functional>

namespace obu {

// Other programs' top-level windows: finding one by its title, and asking it
// to minimize itself. "Minimize DUN on Connect" looks with it for the status
// window that a dial-up program shows once a line is up, titled "Connected
// to" and the entry's name.
//
// Windows are found by their whole title, compared without regard to case,
// however long it is; whichever program made the window, its title alone
// decides.
class Windows {
public:
    using Handle = quint64;  // 0: no window

    virtual ~Windows() = default;

    // The first top-level window with this title, or 0.
    virtual Handle findWindowTitled(const QString& title) = 0;

    // False where no window can ever be found (no X server: a Wayland session
    // without X, a server gone): a search would only spin. Says why once.
    virtual bool canSearch() { return true; }

    // Calls `changed` on the loop's thread each time a top-level window may
    // have come or got a new title, until unwatch(); a search made after
    // watch() sees every such change. False where the backend cannot tell:
    // the caller then has to look again from time to time.
    // By value: a backend that watches keeps it.
    virtual bool watch(
        std::function<void()> /*changed*/) {  // NOLINT(performance-unnecessary-value-param)
        return false;
    }
    virtual void unwatch() {}

    // Asks the window to minimize itself, without waiting for it to act.
    // False for no window and when the request could not be sent.
    bool minimizeWindow(Handle window) { return window != 0 && minimize(window); }

    static bool titleMatches(const QString& windowTitle, const QString& wanted) {
        return windowTitle.compare(wanted, Qt::CaseInsensitive) == 0;
    }

protected:
    virtual bool minimize(Handle window) = 0;
};

}  // namespace obu
