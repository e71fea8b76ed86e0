#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace obu::assets {

// One picture the program reads from its folder.
struct Picture {
    QString file;
    QImage image;
    bool jpeg = false;
};

// Every picture of the skin, named as the program looks for them; with 2
// pixels per point, the same pictures for a HiDPI screen, each file's name
// with "@2x" before its extension.
std::vector<Picture> makePictures(int pixelsPerPoint = 1);

// The program's icon at size x size pixels, and as scalable SVG, from the
// same drawing as obu-icon.png.
QImage programIcon(int size);
QByteArray programIconSvg();

// For the artist's own review: all pictures on one sheet, with a mock-up of
// the main window put together from the pieces at their places.
QImage contactSheet(const std::vector<Picture>& pictures);

}  // namespace obu::assets
