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
    picture_ = list.image(index);
    makePicture_ = nullptr;
    faceList_ = &list;
    faceIndex_ = index;
    update();
}

void SkinImage::setPicture(const QPixmap& picture) {
    picture_ = picture;
    makePicture_ = nullptr;
    faceList_ = nullptr;
    faceIndex_ = -1;
    update();
}

void SkinImage::setPicture(std::function<QPixmap()> make) {
    setPicture(QPixmap());
    makePicture_ = std::move(make);
}

void SkinImage::clearPicture() {
    setPicture(QPixmap());
}

void SkinImage::paintEvent(QPaintEvent*) {
    if (makePicture_) picture_ = std::exchange(makePicture_, nullptr)();
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
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
