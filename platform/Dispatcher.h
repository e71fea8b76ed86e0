#pragma once
#include <QString>
#include <functional>

namespace obu {

class Dialogs;

// The one entry point of every handler that the event loop runs (click, timer
// tick, posted message). An ObuError ends the handler and shows the default
// error box, and the program goes on: one failed file never ends it.
class Dispatcher {
public:
    Dispatcher(Dialogs& dialogs, QString applicationTitle)
        : m_dialogs(dialogs), m_title(std::move(applicationTitle)) {}

    void setApplicationTitle(const QString& title) { m_title = title; }
    const QString& applicationTitle() const { return m_title; }

    // Runs the handler; returns false when it ended with an error box.
    bool run(const std::function<void()>& handler) noexcept;

private:
    Dialogs& m_dialogs;
    QString m_title;
};

}  // namespace obu
