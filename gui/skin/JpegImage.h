#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

namespace obu {

// JPEG pictures of the skin, decoded with Qt's image reader. The result is an
// RGB32 image; a missing, empty, truncated or otherwise damaged file gives a
// null image (never a partly grey picture, never a crash).
QImage loadJpeg(const QString& path);
QImage decodeJpeg(const QByteArray& data);

}  // namespace obu
