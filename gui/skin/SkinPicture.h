#pragma once
#include <QGuiApplication>
#include <QPixmap>
#include <QString>

namespace obu {

// A picture of the skin beside the program, JPEG or PNG. On a screen of more
// than one pixel per point its copy drawn at twice the size ("name@2x.jpg")
// is taken when it is there and whole, so the skin stays sharp; otherwise
// the picture itself, which Qt then scales. A missing or damaged file gives a
// null pixmap.
QPixmap loadSkinPicture(const QString& path, qreal screenRatio = QGuiApplication::instance()
                                                                     ? qGuiApp->devicePixelRatio()
                                                                     : 1.0);

}  // namespace obu
