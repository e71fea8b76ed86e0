#include "JpegWriter.h"

#include <QImageWriter>
#include <QSaveFile>

namespace obu::assets {

bool writeJpeg(const QImage& image, const QString& path, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(true);
    return writer.write(rgb) && file.commit();
}

}  // namespace obu::assets
