#include "gui/skin/SkinPicture.h"

#include <QFile>
#include <QImageReader>

#include "gui/skin/JpegImage.h"

namespace obu {

namespace {

QImage decode(const QString& path) {
    if (path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)) return loadJpeg(path);
    QImageReader reader(path);
    const QImage image = reader.read();
    return reader.error() == QImageReader::UnknownError ? image : QImage();
}

QString sharpCopyOf(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot <= slash) return path + QStringLiteral("@2x");
    return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

}  // namespace

QPixmap loadSkinPicture(const QString& path, qreal screenRatio) {
    if (path.isEmpty()) return {};
    const QImage picture = decode(path);
    if (screenRatio > 1.0 && !picture.isNull()) {
        QImage sharp = decode(sharpCopyOf(path));
        // Only a copy of the very picture: a stray file of another size
        // would move every part of the window it is laid out for.
        if (!sharp.isNull() && sharp.size() == picture.size() * 2) {
            sharp.setDevicePixelRatio(2.0);
            return QPixmap::fromImage(sharp);
        }
    }
    return QPixmap::fromImage(picture);
}

}  // namespace obu
