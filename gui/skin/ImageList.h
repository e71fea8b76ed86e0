#pragma once
#include <QPixmap>
#include <QSize>
#include <QString>
#include <array>

namespace obu {

// A two-picture image list of the skin: 0 the resting face, 1 the pressed
// face (or 0 off, 1 on for the lights). The pictures come from a strip file
// beside the program (resting left, pressed right); without it, plain faces
// with the caption are drawn so that every button stays usable.
class ImageList {
public:
    ImageList(QString name, QSize size, QString caption = {});

    // Loads the strip from the program's folder; keeps the plain faces when it is missing or
    // damaged.
    void loadStrip(const QString& path);

    const QString& name() const { return m_name; }
    QSize size() const { return m_size; }
    const QPixmap& image(int index) const { return m_images[index == 1 ? 1 : 0]; }

private:
    void drawPlainFaces();

    QString m_name;
    QSize m_size;
    QString m_caption;
    std::array<QPixmap, 2> m_images;
};

}  // namespace obu
