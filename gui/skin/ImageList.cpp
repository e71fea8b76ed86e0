#include "gui/skin/ImageList.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include "gui/skin/SkinPicture.h"

namespace obu {

ImageList::ImageList(QString name, QSize size, QString caption)
    : m_name(std::move(name)), m_size(size), m_caption(std::move(caption)) {
    drawPlainFaces();
}

void ImageList::drawPlainFaces() {
    for (int i = 0; i < 2; ++i) {
        QPixmap face(m_size);
        face.fill(Qt::transparent);
        QPainter p(&face);
        p.setRenderHint(QPainter::Antialiasing);
        const bool pressed = i == 1;
        if (m_caption.isEmpty()) {
            // A light: grey when off, green when on.
            p.setPen(QColor(60, 60, 60));
            p.setBrush(pressed ? QColor(40, 190, 70) : QColor(190, 190, 190));
            p.drawEllipse(QRectF(2, 2, m_size.width() - 4, m_size.height() - 4));
        } else {
            p.setPen(QColor(30, 60, 110));
            p.setBrush(pressed ? QColor(150, 180, 220) : QColor(205, 222, 245));
            p.drawRoundedRect(QRectF(0.5, 0.5, m_size.width() - 1, m_size.height() - 1), 5, 5);
            QFont font(QStringLiteral("Liberation Sans"));
            font.setPixelSize(13);
            font.setBold(true);
            p.setFont(font);
            p.setPen(QColor(20, 40, 80));
            p.drawText(QRect(pressed ? 1 : 0, pressed ? 1 : 0, m_size.width(), m_size.height()),
                       Qt::AlignCenter, m_caption);
        }
        m_images[i] = face;
    }
}

void ImageList::loadStrip(const QString& path) {
    if (!QFile::exists(path)) return;
    const QPixmap strip = loadSkinPicture(path);
    const QSizeF points = strip.deviceIndependentSize();
    if (strip.isNull() || points.width() < 2 * m_size.width() || points.height() < m_size.height())
        return;
    // The strip's pixels may be finer than its points (a HiDPI copy).
    const qreal ratio = strip.devicePixelRatio();
    const QSize face = m_size * ratio;
    for (int i = 0; i < 2; ++i) {
        m_images[i] = strip.copy(i * face.width(), 0, face.width(), face.height());
        m_images[i].setDevicePixelRatio(ratio);
    }
}

}  // namespace obu
