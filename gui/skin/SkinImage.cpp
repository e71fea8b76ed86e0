#include "gui/skin/SkinImage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "gui/skin/ImageList.h"

namespace obu {

namespace {

bool pressesButton(const QKeyEvent* event) {
    const int key = event->key();
    return !event->isAutoRepeat() &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

// A skin button as screen readers see it: a push button named after its
// caption, which they can press.
class SkinButtonAccessible : public QAccessibleWidget {
public:
    explicit SkinButtonAccessible(SkinImage* button)
        : QAccessibleWidget(button, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction()) static_cast<SkinImage*>(widget())->press();
    }
};

QAccessibleInterface* skinButtonAccessible(const QString& className, QObject* object) {
    auto* image = qobject_cast<SkinImage*>(object);
    if (className != QLatin1String("obu::SkinImage") || !image || !image->isButton())
        return nullptr;
    return new SkinButtonAccessible(image);
}

}  // namespace

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

void SkinImage::makeButton(const QString& caption) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(skinButtonAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    m_isButton = true;
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(caption);
}

void SkinImage::press() {
    if (!isEnabled()) return;
    if (onMouseDown) onMouseDown(Qt::LeftButton);
    if (onClick) onClick();
    if (onMouseUp) onMouseUp(Qt::LeftButton);
}

void SkinImage::paintEvent(QPaintEvent*) {
    if (m_makePicture) m_picture = std::exchange(m_makePicture, nullptr)();
    QPainter painter(this);
    if (!m_picture.isNull()) painter.drawPixmap(0, 0, m_picture);
    if (m_isButton && hasFocus()) {
        // Light and dark dots, seen on the skin's dark and light parts alike.
        const QRect frame = rect().adjusted(1, 1, -2, -2);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(frame);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(frame.adjusted(1, 1, -1, -1));
    }
}

void SkinImage::keyPressEvent(QKeyEvent* event) {
    if (!m_isButton || !pressesButton(event)) return QWidget::keyPressEvent(event);
    m_keyHeld = true;
    if (onMouseDown) onMouseDown(Qt::LeftButton);
}

void SkinImage::keyReleaseEvent(QKeyEvent* event) {
    if (!m_isButton || !pressesButton(event) || !m_keyHeld) return QWidget::keyReleaseEvent(event);
    m_keyHeld = false;
    if (onClick) onClick();
    if (onMouseUp) onMouseUp(Qt::LeftButton);
}

void SkinImage::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void SkinImage::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Focus taken away while a key holds the button: it comes up unclicked.
    if (std::exchange(m_keyHeld, false) && onMouseUp) onMouseUp(Qt::LeftButton);
    update();
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
