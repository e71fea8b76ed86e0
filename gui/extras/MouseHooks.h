#pragma once
#include <QObject>
#include <functional>

class QWidget;

namespace obu {

// Mouse-down and mouse-up events of a control that has none of its own (a
// label). A disabled control reports nothing, as a disabled window receives no
// mouse input. The hooks live as long as the control.
class MouseHooks : public QObject {
    Q_OBJECT
public:
    static MouseHooks* install(QWidget* control, std::function<void(Qt::MouseButton)> onDown,
                               std::function<void(Qt::MouseButton)> onUp = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit MouseHooks(QWidget* control);
    QWidget* m_control;
    std::function<void(Qt::MouseButton)> m_onDown;
    std::function<void(Qt::MouseButton)> m_onUp;
};

// Focus gained and lost by a control as its enter and exit handlers need
// them: they follow the window's own focused control. Another window
// or a popup menu taking the focus for a while is no exit, and getting it
// back no entry; the first focus of a newly shown window is an entry.
class FocusHooks : public QObject {
    Q_OBJECT
public:
    static FocusHooks* install(QWidget* control, std::function<void()> onEnter,
                               std::function<void()> onExit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusHooks(QWidget* control);
    QWidget* m_control;
    std::function<void()> m_onEnter;
    std::function<void()> m_onExit;
    bool m_entered = false;
};

}  // namespace obu
