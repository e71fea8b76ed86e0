#include "gui/skin/WindowManagerHints.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace obu {
namespace {

Display* x11Display() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

}  // namespace

void keepOffTaskbar(QWidget* window) {
    Display* display = x11Display();
    if (!display) return;
    const auto id = static_cast<::Window>(window->winId());
    // Set while the window is still unmapped: Qt merges what it finds there
    // into the state it gives the window when it maps it.
    Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom hints[2] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                     XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<unsigned char*>(hints), 2);
    XFlush(display);
}

void titleBarWithoutButtons(QWidget* window) {
    Display* display = x11Display();
    if (!display) return;
    const auto id = static_cast<::Window>(window->winId());
    // The Motif hints: flags, functions, decorations, input mode, status.
    enum : long {
        kFunctions = 1,
        kDecorations = 2,
        kFuncMove = 4,
        kDecorBorder = 2,
        kDecorTitle = 8
    };
    long hints[5] = {kFunctions | kDecorations, kFuncMove, kDecorBorder | kDecorTitle, 0, 0};
    Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, id, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
    XFlush(display);
}

}  // namespace obu
