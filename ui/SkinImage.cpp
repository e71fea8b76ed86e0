#include "ui/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/ImageList.h"

namespace obu {

TSkinImage::TSkinImage(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : QWidget(parent) {
    setObjectName(name);
    setGeometry(left, top, width, height);
}

void TSkinImage::DrawFace(const TImageList& list, int index) {
    picture_ = list.image(index);
    faceList_ = &list;
    faceIndex_ = index;
    update();
}

void TSkinImage::setPicture(const QPixmap& picture) {
    picture_ = picture;
    faceList_ = nullptr;
    faceIndex_ = -1;
    update();
}

void TSkinImage::Clear() { setPicture(QPixmap()); }

void TSkinImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void TSkinImage::mousePressEvent(QMouseEvent* event) {
    if (onMouseDown) onMouseDown(event->button());
}

void TSkinImage::mouseReleaseEvent(QMouseEvent* event) {
    // The click comes between the press and the release, so the release
    // handler already sees what the click did.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
    if (onMouseUp) onMouseUp(event->button());
}

}  // namespace obu
