#pragma once
#include <QImage>
#include <QString>

namespace obu::assets {

// Writes a picture as a baseline JPEG through libjpeg. Chroma is kept at full
// resolution so that captions on the pictures stay crisp. False on failure.
bool writeJpeg(const QImage& image, const QString& path, int quality = 92);

}  // namespace obu::assets
