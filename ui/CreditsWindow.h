#pragma once
#include <QLabel>
#include <memory>

#include "platform/Sound.h"
#include "timing/PacingTimer.h"
#include "ui/Form.h"

namespace obu {

// The credits screen: a picture, a heading and the team's roles scrolling up
// through a clipping panel while a tune plays. It closes on a click or when
// the tune has stopped.
class CreditsWindow : public Form {
    Q_OBJECT
public:
    explicit CreditsWindow(Program& program);
    ~CreditsWindow() override;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Memo1 = nullptr;
    std::unique_ptr<MusicDevice> MediaPlayer1;
    std::unique_ptr<PacingTimer> PacingTimer1;

    void PacingTimer1Timer();
    // Image1Click, Label1Click, FormClick and Memo1Click: all close the screen.
    void CloseClick();

    static const QStringList& creditLines();
    // Where the text starts on every show, where a pass ends, and where the next starts.
    static constexpr int kShowTop = 96;
    static constexpr int kEndTop = -273;
    static constexpr int kRestartTop = 120;

protected:
    void FormShow() override;
    void FormHide() override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool passDone_ = false;
    bool tunePlays_ = false;
};

}  // namespace obu
