#pragma once
#include <QObject>

#include "platform/WindowTimer.h"

namespace obu {

class EventLoop;

// Whole seconds counted down to zero, one step a second on the program's
// loop. A window shows the count; whoever owns the countdown decides what
// its end means.
class Countdown : public QObject {
    Q_OBJECT
public:
    Countdown(EventLoop& loop, int fullSeconds);

    // Starts from the full count; a count already running goes on untouched.
    void start();
    // Starts (or starts again) from this many seconds; stop() sets the count
    // back to full.
    void startFrom(int seconds);
    // Stops the count and sets it back to full.
    void stop();
    bool running() const { return m_ticker.enabled(); }
    int secondsLeft() const { return m_secondsLeft; }

signals:
    void secondsLeftChanged(int secondsLeft);
    // A second after the count showed zero; the count is full again by then.
    void expired();

private:
    void tick();
    void show(int seconds);

    WindowTimer m_ticker;
    const int m_fullSeconds;
    int m_secondsLeft;
};

}  // namespace obu
