#pragma once
#include <QImage>
#include <QString>

namespace obu::assets {

// Writes a picture as a baseline JPEG through Qt's image writer, which keeps
// colour at half resolution: captions on the pictures are drawn large enough
// for that. False on failure.
bool writeJpeg(const QImage& image, const QString& path, int quality = 92);

}  // namespace obu::assets
