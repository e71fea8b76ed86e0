#pragma once
#include <QWidget>
#include <functional>

namespace obu {

struct Platform;
class ProgramModel;

enum class ShowState { Normal, Minimized };

// A window of the program: fixed client size, absolutely placed children,
// and show/hide/close hooks. Every handler that a user action
// starts runs through the platform's dispatcher.
class Form : public QWidget {
    Q_OBJECT
public:
    Form(ProgramModel& program, const QString& caption, int clientWidth, int clientHeight);

    ProgramModel& program() const { return m_program; }
    Platform& platform() const;

    void showWindow();
    void hideWindow();
    // Close: the main form ends the program, any other window hides.
    void closeWindow();
    ShowState showState() const;
    void setShowState(ShowState state);
    // Shows the window, lifts it above the others and gives it the focus.
    void bringToFront();

    // A title bar and a border but no close box or system menu: the window is
    // left through its own buttons.
    void setButtonless(bool buttonless) { m_buttonless = buttonless; }

    // Places the window in the middle of the primary screen.
    void centreOnScreen();

    // Enter and Escape in the window that no control of it took: each says
    // whether it answered them (an OK and a Cancel, while there is one).
    void answerEnterAndEscape(std::function<bool()> enter, std::function<bool()> escape) {
        m_enterAnswer = std::move(enter);
        m_escapeAnswer = std::move(escape);
    }

    // Runs a user action through the dispatcher (error box on failure).
    void handle(const std::function<void()>& handler);

    // A sound of the skin beside the program, while the "Sound" option is on.
    // Fire and forget: a missing file or a failing device never stops the action.
    void playUiSound(const QString& fileName);
    // The click of the arrows and of the panels' buttons.
    void playClick();

protected:
    // Hooks run when the window is shown, hidden, closed and resized.
    virtual void onShown() {}
    virtual void onHidden() {}
    virtual void onClosed() {}
    virtual void onWindowStateChanged() {}
    // True for the first window made: closing it ends the program.
    virtual bool endsProgramWhenClosed() const { return false; }

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void keepWholeUnderCompositor();

    ProgramModel& m_program;
    bool m_buttonless = false;
    std::function<bool()> m_enterAnswer;
    std::function<bool()> m_escapeAnswer;
};

}  // namespace obu
