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
    bool shown() const override { return m_shown; }
    bool available() const override { return m_available; }
    void setAvailable(bool available) { m_available = available; }

    const QIcon& picture() const { return m_picture; }
    const QString& tip() const { return m_tip; }
    int showCount() const { return m_shows; }
    int hideCount() const { return m_hides; }

    // The user's actions; false (and nothing reported) when no icon is shown.
    bool leftClick() { return act(TrayAction::Click); }
    bool rightClick() { return act(TrayAction::MenuRequest); }
    bool doubleClick() {
        return act(TrayAction::Click) && act(TrayAction::DoubleClick) && act(TrayAction::Click);
    }

private:
    bool act(TrayAction action);

    bool m_available = true;
    bool m_shown = false;
    QIcon m_picture;
    QString m_tip;
    int m_shows = 0;
    int m_hides = 0;
};

}  // namespace obu::test
