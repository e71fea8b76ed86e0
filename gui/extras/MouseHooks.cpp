#include "gui/extras/MouseHooks.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QWidget>

namespace obu {

MouseHooks::MouseHooks(QWidget* control) : QObject(control), m_control(control) {}

MouseHooks* MouseHooks::install(QWidget* control, std::function<void(Qt::MouseButton)> onDown,
                                std::function<void(Qt::MouseButton)> onUp) {
    auto* hooks = new MouseHooks(control);
    hooks->m_onDown = std::move(onDown);
    hooks->m_onUp = std::move(onUp);
    control->installEventFilter(hooks);
    return hooks;
}

bool MouseHooks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_control) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease)
        return false;
    // Filters see the events of disabled controls too; the controls themselves do not.
    if (!m_control->isEnabled()) return false;
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    // A second press in quick succession is a press like the first.
    if (type == QEvent::MouseButtonRelease) {
        if (m_onUp) m_onUp(button);
    } else if (m_onDown) {
        m_onDown(button);
    }
    return false;
}

FocusHooks::FocusHooks(QWidget* control) : QObject(control), m_control(control) {}

FocusHooks* FocusHooks::install(QWidget* control, std::function<void()> onEnter,
                                std::function<void()> onExit) {
    auto* hooks = new FocusHooks(control);
    hooks->m_onEnter = std::move(onEnter);
    hooks->m_onExit = std::move(onExit);
    control->installEventFilter(hooks);
    return hooks;
}

bool FocusHooks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_control) return false;
    if (event->type() == QEvent::FocusIn) {
        if (!m_entered) {
            m_entered = true;
            if (m_onEnter) m_onEnter();
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_entered) {
            m_entered = false;
            if (m_onExit) m_onExit();
        }
    } else if (event->type() == QEvent::Hide) {
        // A control that leaves the screen (with its window, which refills
        // its rows when it comes back) is entered afresh next time.
        m_entered = false;
    }
    return false;
}

}  // namespace obu
