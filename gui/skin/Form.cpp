#include "gui/skin/Form.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <utility>

#include "gui/program/ProgramModel.h"
#include "gui/skin/SkinPalette.h"
#include "gui/skin/WindowManagerHints.h"
#include "gui/skin/WindowPlacement.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"
#include "platform/Sound.h"

namespace obu {

Form::Form(ProgramModel& program, const QString& caption, int clientWidth, int clientHeight)
    : QWidget(nullptr), m_program(program) {
    setWindowTitle(caption);
    setFixedSize(clientWidth, clientHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    setPalette(skinPalette());
}

Platform& Form::platform() const {
    return m_program.platform();
}

void Form::centreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
}

void Form::handle(const std::function<void()>& handler) {
    platform().dispatcher->run(handler);
}

void Form::playUiSound(const QString& fileName) {
    if (!m_program.options().isOn(UserOptions::Option::Sound) || !platform().sound) return;
    platform().sound->playWave(fileName);
}

void Form::playClick() {
    playUiSound(QStringLiteral("obuclick.okx"));
}

void Form::showWindow() {
    if (!m_buttonless) {
        show();
        return;
    }
    // A window without buttons asks for the user's answer: it comes back
    // whole each time it is shown, whatever a window manager did to it.
    if (compositorPlacesWindows() && !isVisible()) keepWholeUnderCompositor();
    QWidget::setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    bringToFront();
}

// A Wayland compositor tells a program nothing when its window is minimized,
// so a window that must be answered offers no button that could put it out
// of sight; and no window can stay above the others there, which the log
// says once.
void Form::keepWholeUnderCompositor() {
    const Qt::WindowFlags buttons =
        Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    const Qt::WindowFlags wanted =
        (windowFlags() & ~buttons) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (wanted != windowFlags()) setWindowFlags(wanted);
    static bool toldAboutTop = false;
    if ((windowFlags() & Qt::WindowStaysOnTopHint) && !std::exchange(toldAboutTop, true))
        m_program.eventLog().writeLine(QStringLiteral(
            "This desktop keeps no window above the others: the Reconnect and disconnect "
            "windows may be covered"));
}

void Form::hideWindow() {
    hide();
}

void Form::closeWindow() {
    close();
}

ShowState Form::showState() const {
    return (windowState() & Qt::WindowMinimized) ? ShowState::Minimized : ShowState::Normal;
}

void Form::setShowState(ShowState state) {
    if (state == ShowState::Minimized)
        QWidget::setWindowState(windowState() | Qt::WindowMinimized);
    else
        QWidget::setWindowState(windowState() & ~Qt::WindowMinimized);
}

void Form::bringToFront() {
    show();
    // Without a screen there is no window order to change.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    raise();
    activateWindow();
}

void Form::showEvent(QShowEvent* event) {
    // Every time, before the window is mapped: the window manager forgets the
    // state of a window that was hidden.
    if (!event->spontaneous()) {
        keepOffTaskbar(this);
        if (m_buttonless) titleBarWithoutButtons(this);
    }
    QWidget::showEvent(event);
    // A window that comes back from being minimized is not newly shown: its
    // show hook (which starts countdowns) must not run again.
    if (!event->spontaneous()) handle([this] { onShown(); });
}

void Form::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) handle([this] { onHidden(); });
}

void Form::closeEvent(QCloseEvent* event) {
    // A window without a close box is left only through its own buttons,
    // whatever a window manager that shows one anyway says.
    if (m_buttonless && event->spontaneous()) {
        event->ignore();
        return;
    }
    handle([this] { onClosed(); });
    if (endsProgramWhenClosed()) {
        event->accept();
        m_program.application().quit();
        return;
    }
    // Every other window only hides when closed.
    event->accept();
}

void Form::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const std::function<bool()>& answer = key == Qt::Key_Escape ? m_escapeAnswer
                                          : (key == Qt::Key_Return || key == Qt::Key_Enter)
                                              ? m_enterAnswer
                                              : std::function<bool()>();
    bool answered = false;
    if (answer && !event->isAutoRepeat()) handle([&] { answered = answer(); });
    if (!answered) QWidget::keyPressEvent(event);
}

void Form::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    handle([this] { onWindowStateChanged(); });
    // Window managers that ignore the request for a title bar without buttons
    // let such a window be minimized, and a countdown would then run out of
    // sight with no way to cancel it: it is put back at once.
    if (m_buttonless && isVisible() && (windowState() & Qt::WindowMinimized))
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible()) showWindow();
            },
            Qt::QueuedConnection);
}

}  // namespace obu
