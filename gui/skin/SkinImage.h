#pragma once
#include <QPixmap>
#include <QWidget>
#include <functional>

namespace obu {

class ImageList;

// A picture control of the skin. It shows one picture, drawn from an image
// list ("draw face k": clear the picture, then draw image k at 0,0), and
// reports a mouse press, a click and a release in that order. A disabled
// control reports nothing.
class SkinImage : public QWidget {
    Q_OBJECT
public:
    SkinImage(QWidget* parent, const QString& name, int left, int top, int width, int height);

    void drawFace(const ImageList& list, int index);
    void setPicture(const QPixmap& picture);
    // A picture that is made (decoded) when the control is first painted: a
    // window that is never shown never holds it in memory.
    void setPicture(std::function<QPixmap()> make);
    void clearPicture();
    // Which face shows now (for tests and the button's own logic).
    const ImageList* faceList() const { return m_faceList; }
    int faceIndex() const { return m_faceIndex; }

    std::function<void(Qt::MouseButton)> onMouseDown;
    std::function<void()> onClick;
    std::function<void(Qt::MouseButton)> onMouseUp;

    // A control that acts as a button: Tab reaches it (a dotted frame shows
    // the focus), Space or Enter presses it as the left mouse button would,
    // and screen readers know it as a button with this caption.
    void makeButton(const QString& caption);
    bool isButton() const { return m_isButton; }
    // What a click of the left button does: press, click, release.
    void press();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPixmap m_picture;
    std::function<QPixmap()> m_makePicture;
    const ImageList* m_faceList = nullptr;
    int m_faceIndex = -1;
    bool m_isButton = false;
    // Space or Enter is held: the release clicks.
    bool m_keyHeld = false;
};

}  // namespace obu
