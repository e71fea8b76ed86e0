#include "gui/skin/JpegImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace obu {

namespace {

// Far beyond any picture of the skin; a damaged header that claims more is
// refused before memory is set aside for it.
constexpr int kMaxSide = 16384;
constexpr qint64 kMaxPixels = 64ll * 1024 * 1024;
constexpr qint64 kMaxFileBytes = 64ll * 1024 * 1024;

// Whether the data holds the end of its picture: an end-of-image marker after
// the last start of a scan. Inside a scan a 0xFF byte is always followed by 0
// or a restart marker, so the pair cannot occur there by chance. A file cut
// short, which the reader fills up with grey without a word, fails this.
bool endsItsLastScan(const QByteArray& data) {
    const qsizetype lastScan = data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return lastScan >= 0 && data.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan + 2) >= 0;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty() || !endsItsLastScan(data)) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaxSide || size.height() > kMaxSide ||
        qint64(size.width()) * size.height() > kMaxPixels)
        return {};
    const QImage image = reader.read();
    // A reader that gave up half way says so; the picture it has is not shown.
    if (image.isNull() || reader.error() != QImageReader::UnknownError || image.size() != size)
        return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage loadJpeg(const QString& path) {
    if (path.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) return {};
    return decodeJpeg(file.readAll());
}

}  // namespace obu
