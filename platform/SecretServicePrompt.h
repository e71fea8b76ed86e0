#pragma once
#include <QDBusVariant>
#include <QObject>
#include <future>
#include <utility>

namespace obu {

// Hears a keyring prompt's Completed on a thread of its own, so that waiting
// for the user runs none of the program's own timers and events meanwhile.
class PromptListener : public QObject {
    Q_OBJECT
public:
    std::promise<std::pair<bool, QVariant>> answer;

public slots:
    void completed(bool dismissed, const QDBusVariant& result) {
        if (m_answered) return;  // a prompt completes once; a second signal is not ours
        m_answered = true;
        answer.set_value({dismissed, result.variant()});
    }

private:
    bool m_answered = false;
};

}  // namespace obu
