#pragma once
#include <QLabel>

namespace obu {

// A label of the skin: placed at its coordinates, its background left to the
// picture beneath.
inline QLabel* transparentLabel(QWidget* parent, const QString& name, const QString& text, int left,
                                int top, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(left, top, width, height);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

}  // namespace obu
