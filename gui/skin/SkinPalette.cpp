#include "gui/skin/SkinPalette.h"

namespace obu {

QPalette skinPalette() {
    const QColor face(240, 240, 240);
    QPalette palette(Qt::black, face, Qt::white, QColor(160, 160, 160), QColor(160, 160, 160),
                     Qt::black, Qt::white, Qt::white, face);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0, 120, 215));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(120, 120, 120));
    palette.setColor(QPalette::Link, QColor(0, 0, 238));
    palette.setColor(QPalette::Shadow, QColor(105, 105, 105));
    // A disabled control greys out the same way under every scheme.
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    return palette;
}

}  // namespace obu
