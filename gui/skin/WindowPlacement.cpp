#include "gui/skin/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

namespace obu {

bool mostlyOnScreen(const QRect& window, const QList<QRect>& screens) {
    const qint64 whole = qint64(window.width()) * window.height();
    if (whole <= 0) return false;
    for (const QRect& screen : screens) {
        const QRect shared = window.intersected(screen);
        if (2 * qint64(shared.width()) * shared.height() >= whole) return true;
    }
    return false;
}

QList<QRect> screenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
    return areas;
}

bool compositorPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace obu
