#include "gui/skin/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "gui/skin/ImageList.h"

namespace obu {

SkinImage::SkinImage(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : QWidget(parent) {
    setObjectName(name);
    setGeometry(left, top, width, height);
}

void SkinImage::drawFace(const ImageList& list, int index) {
    m_picture = list.image(index);
    m_makePicture = nullptr;
    m_faceList = &list;
    m_faceIndex = index;
    update();
}

void SkinImage::setPicture(const QPixmap& picture) {
    m_picture = picture;
    m_makePicture = nullptr;
    m_faceList = nullptr;
    m_faceIndex = -1;
    update();
}

void SkinImage::setPicture(std::function<QPixmap()> make) {
    setPicture(QPixmap());
    m_makePicture = std::move(make);
}

void SkinImage::clearPicture() {
    setPicture(QPixmap());
}

void SkinImage::paintEvent(QPaintEvent*) {
    if (m_makePicture) m_picture = std::exchange(m_makePicture, nullptr)();
    if (m_picture.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void SkinImage::mousePressEvent(QMouseEvent* event) {
    if (onMouseDown) onMouseDown(event->button());
}

void SkinImage::mouseReleaseEvent(QMouseEvent* event) {
    // The click comes between the press and the release, so the release
    // handler already sees what the click did.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick)
        onClick();
    if (onMouseUp) onMouseUp(event->button());
}

}  // namespace obu
