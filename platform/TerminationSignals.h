#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace obu {

// Turns SIGTERM and SIGINT into a call on the loop's thread, so that a
// termination request runs the normal shutdown instead of killing the process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace obu
