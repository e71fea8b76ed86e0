#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace obu {

// Turns the termination signals (SIGTERM, SIGINT, SIGQUIT, and SIGHUP unless
// the program was started with it ignored, as nohup does) into a call on the
// loop's thread, so that a termination request runs the normal shutdown
// instead of killing the process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Catches the signals and lets them through even when the parent blocked
    // them. Called as the first thing of main(): a signal that comes before the
    // loop runs is kept until the program can end the normal way.
    static void catchEarly();
    // Whether a termination signal has come since catchEarly().
    static bool requested();

    // Calls onSignal on the loop's thread for every termination signal,
    // including one that came before this object was made.
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace obu
