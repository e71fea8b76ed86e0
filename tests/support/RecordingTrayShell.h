#pragma once
#include <QIcon>
#include <QString>

#include "gui/desktop/TrayShell.h"

namespace obu::test {

// The notification area in a test: holds the icon as the real one does,
// counts what the program asks of it, and plays the user's actions on the
// icon through the loop, as the real shell reports them.
class RecordingTrayShell : public TrayShell {
public:
    explicit RecordingTrayShell(EventLoop& loop) : TrayShell(loop) {}

    void show(const QIcon& picture, const QString& tip) override;
    void hide() override;
    bool shown() const override { return shown_; }
    bool available() const override { return available_; }
    void setAvailable(bool available) { available_ = available; }

    const QIcon& picture() const { return picture_; }
    const QString& tip() const { return tip_; }
    int showCount() const { return shows_; }
    int hideCount() const { return hides_; }

    // The user's actions; false (and nothing reported) when no icon is shown.
    bool leftClick() { return act(TrayAction::Click); }
    bool rightClick() { return act(TrayAction::MenuRequest); }
    bool doubleClick() {
        return act(TrayAction::Click) && act(TrayAction::DoubleClick) && act(TrayAction::Click);
    }

private:
    bool act(TrayAction action);

    bool available_ = true;
    bool shown_ = false;
    QIcon picture_;
    QString tip_;
    int shows_ = 0;
    int hides_ = 0;
};

}  // namespace obu::test
