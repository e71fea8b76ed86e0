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
        if (m_quitting) return;
        m_quitting = true;
        if (m_onQuit) m_onQuit();
    }
    bool quitting() const { return m_quitting; }
    void setOnQuit(std::function<void()> f) { m_onQuit = std::move(f); }

private:
    bool m_quitting = false;
    std::function<void()> m_onQuit;
};

}  // namespace obu
