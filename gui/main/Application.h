#pragma once
#include <QString>
#include <functional>

namespace obu {

// The application object: its title (the caption of message boxes), its help
// file, and the end of the message loop.
class Application {
public:
    QString title = QStringLiteral("OBU v1.3");
    QString helpFile = QStringLiteral("Help.hlp");

    // Ends the message loop; the windows are then destroyed in reverse order.
    void quit() {
        if (quitting_) return;
        quitting_ = true;
        if (onQuit_) onQuit_();
    }
    bool quitting() const { return quitting_; }
    void setOnQuit(std::function<void()> f) { onQuit_ = std::move(f); }

private:
    bool quitting_ = false;
    std::function<void()> onQuit_;
};

}  // namespace obu
