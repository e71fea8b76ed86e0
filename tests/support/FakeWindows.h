#pragma once
#include <QList>
#include <QStringList>

#include "platform/Windows.h"

namespace obu::test {

// Top-level windows that exist only in a list; minimize requests are recorded.
// The search is the real one's: the whole title, without regard to case, the
// class name ignored.
class FakeWindows : public Windows {
public:
    // Opens a window with this title and returns its handle.
    Handle open(const QString& title);
    void close(Handle window);
    void setTitle(Handle window, const QString& title);
    bool isMinimized(Handle window) const;

    Handle findWindowTitled(const QString& title) override;

    QStringList searchedTitles;  // every search, in order
    QList<Handle> minimizeRequests;

protected:
    bool minimize(Handle window) override;

private:
    struct Window {
        Handle handle;
        QString title;
        bool minimized = false;
    };
    QList<Window> m_windows;
    Handle m_next = 0x1000;
};

}  // namespace obu::test
