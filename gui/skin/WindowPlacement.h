#pragma once
#include <QList>
#include <QPoint>
#include <QRect>

namespace obu {

// Whether at least half of the window lies on one of the screens: a stored
// position from a screen since unplugged, or from a larger one, does not put
// the window where nobody can reach it.
bool mostlyOnScreen(const QRect& window, const QList<QRect>& screens);

// The screens' areas that windows may use, as the window system gives them.
QList<QRect> screenAreas();

// True where the compositor places windows and tells programs nothing of
// where they are (Wayland): a position is neither set nor worth saving there.
bool compositorPlacesWindows();

}  // namespace obu
