#pragma once
#include <QString>
#include <functional>

namespace obu {

// The application object: its title (the caption of message boxes), its help
// file, and the end of the message loop.
class Application {
public:
    QString Title = QStringLiteral("OBU v1.3");
    QString HelpFile = QStringLiteral("Help.hlp");

    // Ends the message loop; the windows are then destroyed in reverse order.
    void Terminate() {
        if (terminated_) return;
        terminated_ = true;
        if (onTerminate_) onTerminate_();
    }
    bool Terminated() const { return terminated_; }
    void setOnTerminate(std::function<void()> f) { onTerminate_ = std::move(f); }

private:
    bool terminated_ = false;
    std::function<void()> onTerminate_;
};

}  // namespace obu
