#pragma once
#include <QLabel>
#include <memory>

#include "gui/skin/Form.h"
#include "platform/Sound.h"
#include "platform/WindowTimer.h"

namespace obu {

// The credits screen: a picture, a heading and the team's roles scrolling up
// through a clipping panel while a tune plays. It closes on a click or when
// the tune has stopped.
class CreditsWindow : public Form {
    Q_OBJECT
public:
    explicit CreditsWindow(ProgramModel& program);
    ~CreditsWindow() override;

    // A click anywhere on the screen closes it.
    void closeByClick();

    static const QStringList& creditLines();
    // Where the text starts on every show, where a pass ends, and where the next starts.
    static constexpr int kShowTop = 96;
    static constexpr int kEndTop = -273;
    static constexpr int kRestartTop = 120;

protected:
    void onShown() override;
    void onHidden() override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void scrollStep();

    QLabel* m_picture = nullptr;
    // Named "heading" and "creditsText".
    QLabel* m_heading = nullptr;
    QLabel* m_creditsText = nullptr;
    QWidget* m_scrollPanel = nullptr;
    std::unique_ptr<MusicDevice> m_tune;
    std::unique_ptr<WindowTimer> m_scrollTimer;
    bool m_passDone = false;
    bool m_tunePlays = false;
};

}  // namespace obu
