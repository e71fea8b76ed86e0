#include "gui/extras/MouseHooks.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QWidget>

namespace obu {

MouseHooks::MouseHooks(QWidget* control) : QObject(control), control_(control) {}

MouseHooks* MouseHooks::install(QWidget* control, std::function<void(Qt::MouseButton)> onDown,
                                std::function<void(Qt::MouseButton)> onUp) {
    auto* hooks = new MouseHooks(control);
    hooks->onDown_ = std::move(onDown);
    hooks->onUp_ = std::move(onUp);
    control->installEventFilter(hooks);
    return hooks;
}

bool MouseHooks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != control_) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease)
        return false;
    // Filters see the events of disabled controls too; the controls themselves do not.
    if (!control_->isEnabled()) return false;
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    // A second press in quick succession is a press like the first.
    if (type == QEvent::MouseButtonRelease) {
        if (onUp_) onUp_(button);
    } else if (onDown_) {
        onDown_(button);
    }
    return false;
}

FocusHooks::FocusHooks(QWidget* control) : QObject(control), control_(control) {}

FocusHooks* FocusHooks::install(QWidget* control, std::function<void()> onEnter,
                                std::function<void()> onExit) {
    auto* hooks = new FocusHooks(control);
    hooks->onEnter_ = std::move(onEnter);
    hooks->onExit_ = std::move(onExit);
    control->installEventFilter(hooks);
    return hooks;
}

bool FocusHooks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != control_) return false;
    if (event->type() == QEvent::FocusIn) {
        if (!entered_) {
            entered_ = true;
            if (onEnter_) onEnter_();
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && entered_) {
            entered_ = false;
            if (onExit_) onExit_();
        }
    } else if (event->type() == QEvent::Hide) {
        // A control that leaves the screen (with its window, which refills
        // its rows when it comes back) is entered afresh next time.
        entered_ = false;
    }
    return false;
}

}  // namespace obu
