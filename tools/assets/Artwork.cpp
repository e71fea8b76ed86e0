#include "Artwork.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <cmath>
#include <map>

namespace obu::assets {

namespace {

// One palette for the whole program: night blue, teal, a warm amber, light cards.
namespace ink {
const QColor night0(0x0d, 0x21, 0x36);
const QColor night1(0x18, 0x3b, 0x5c);
const QColor night2(0x22, 0x52, 0x78);
const QColor teal(0x1f, 0x8a, 0x8a);
const QColor tealLight(0x5c, 0xc8, 0xc0);
const QColor tealDark(0x13, 0x5e, 0x61);
const QColor amber(0xf2, 0xb3, 0x3d);
const QColor amberLight(0xff, 0xd9, 0x8a);
const QColor card(0xf4, 0xf8, 0xfa);
const QColor cardEdge(0xb8, 0xca, 0xd8);
const QColor muted(0x5b, 0x6e, 0x80);
const QColor sky0(0xbf, 0xe3, 0xee);
const QColor sky1(0xf6, 0xfb, 0xfc);
}  // namespace ink

QFont sans(int px, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont narrow(int px, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans Narrow"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

// Pixels per point of the pictures being drawn: 1 for the program's own
// pictures, 2 for their HiDPI copies. Everything is drawn in points, so the
// same drawing gives both.
int g_pixelsPerPoint = 1;

QImage canvas(int w, int h, const QColor& fill = Qt::transparent) {
    QImage image(w * g_pixelsPerPoint, h * g_pixelsPerPoint, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_pixelsPerPoint);
    image.fill(fill);
    return image;
}

// A part of a picture, given in points.
QImage cut(const QImage& image, const QRect& points) {
    const int scale = g_pixelsPerPoint;
    return image.copy(QRect(points.topLeft() * scale, points.size() * scale));
}

void smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Text with a soft one-pixel shadow below it, for light text on colour.
void shadowedText(QPainter& p, const QRectF& box, int flags, const QString& text,
                  const QColor& colour, const QColor& shadow) {
    p.setPen(shadow);
    p.drawText(box.translated(0, 1), flags, text);
    p.setPen(colour);
    p.drawText(box, flags, text);
}

void nightSky(QPainter& p, const QRectF& area) {
    QLinearGradient g(area.topLeft(), area.bottomLeft());
    g.setColorAt(0, ink::night0);
    g.setColorAt(1, ink::night1);
    p.fillRect(area, g);
}

// A light card with a hairline edge and a soft shadow under it.
void card(QPainter& p, const QRectF& r, qreal radius, const QColor& fill = ink::card,
          bool shadow = true) {
    if (shadow) {
        for (int i = 3; i >= 1; --i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 22));
            p.drawRoundedRect(r.adjusted(-i + 1, -i + 2, i - 1, i + 1), radius + i, radius + i);
        }
    }
    p.setPen(QPen(ink::cardEdge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

// The product's mark: an amber ring around a line carrying a signal, with a
// dot at its very centre.
void emblem(QPainter& p, const QPointF& c, qreal r, bool onLight = false) {
    QRadialGradient inside(c - QPointF(r * 0.3, r * 0.4), r * 1.3);
    inside.setColorAt(0, ink::night2);
    inside.setColorAt(1, ink::night0);
    p.setPen(Qt::NoPen);
    p.setBrush(inside);
    p.drawEllipse(c, r, r);

    // The line: flat, one smooth swell of signal, flat again.
    QPainterPath wave;
    const qreal w = r * 0.78;
    wave.moveTo(c.x() - w, c.y());
    for (int i = 0; i <= 48; ++i) {
        const qreal x = -w + 2 * w * i / 48.0;
        const qreal envelope = std::exp(-std::pow(x / (w * 0.55), 2));
        wave.lineTo(c.x() + x, c.y() - std::sin(x / w * 2.0 * M_PI) * r * 0.36 * envelope);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 235), std::max<qreal>(1.4, r * 0.09), Qt::SolidLine,
                  Qt::RoundCap));
    p.drawPath(wave);

    p.setPen(QPen(onLight ? ink::amber.darker(108) : ink::amber, std::max<qreal>(2.0, r * 0.16)));
    p.drawEllipse(c, r - r * 0.08, r - r * 0.08);
    p.setPen(Qt::NoPen);
    p.setBrush(ink::amberLight);
    p.drawEllipse(c, std::max<qreal>(1.5, r * 0.09), std::max<qreal>(1.5, r * 0.09));
}

// ---- Button icons, drawn in a 16 x 16 box -------------------------------------------------

enum class Icon { Plug, Unplug, Phone, Clock, Grid, Power };

void icon(QPainter& p, Icon which, const QRectF& box, const QColor& colour) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 16.0, box.height() / 16.0);
    QPen pen(colour, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (which) {
        case Icon::Plug:
            // A plug pushed into its socket.
            p.setBrush(colour);
            p.drawRoundedRect(QRectF(3.5, 5, 6, 6), 1.5, 1.5);
            p.drawLine(QPointF(9.5, 6.5), QPointF(12.5, 6.5));
            p.drawLine(QPointF(9.5, 9.5), QPointF(12.5, 9.5));
            p.drawLine(QPointF(0.8, 8), QPointF(3.5, 8));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(14.5, 3.5), QPointF(14.5, 12.5));
            break;
        case Icon::Unplug:
            // The plug drawn back, a gap, the socket alone.
            p.setBrush(colour);
            p.drawRoundedRect(QRectF(1.5, 5, 5, 6), 1.5, 1.5);
            p.drawLine(QPointF(6.5, 6.5), QPointF(8.5, 6.5));
            p.drawLine(QPointF(6.5, 9.5), QPointF(8.5, 9.5));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(14.5, 3.5), QPointF(14.5, 12.5));
            p.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(11, 3), QPointF(12, 5));
            p.drawLine(QPointF(11, 13), QPointF(12, 11));
            break;
        case Icon::Phone: {
            // A handset: two ear pieces joined by a curved grip.
            QPainterPath grip;
            grip.moveTo(3.2, 4.5);
            grip.cubicTo(5.5, 1.2, 10.5, 1.2, 12.8, 4.5);
            p.setPen(QPen(colour, 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawPath(grip);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRoundedRect(QRectF(0.8, 4.2, 5, 3.4), 1.4, 1.4);
            p.drawRoundedRect(QRectF(10.2, 4.2, 5, 3.4), 1.4, 1.4);
            // The base below.
            QPainterPath base;
            base.moveTo(3.5, 14.5);
            base.lineTo(4.6, 9.5);
            base.lineTo(11.4, 9.5);
            base.lineTo(12.5, 14.5);
            base.closeSubpath();
            p.drawPath(base);
            break;
        }
        case Icon::Clock:
            p.drawEllipse(QPointF(8, 9), 5.6, 5.6);
            p.drawLine(QPointF(8, 9), QPointF(8, 5.8));
            p.drawLine(QPointF(8, 9), QPointF(10.3, 10.3));
            p.setBrush(colour);
            p.setPen(Qt::NoPen);
            p.drawPie(QRectF(0.2, 0.6, 6, 6), 30 * 16, 150 * 16);
            p.drawPie(QRectF(9.8, 0.6, 6, 6), 0, 150 * 16);
            break;
        case Icon::Grid:
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            for (int i = 0; i < 4; ++i) {
                const int row = i / 2;
                const int column = i % 2;
                p.drawRoundedRect(QRectF(1.5 + 7 * column, 1.5 + 7 * row, 5.5, 5.5), 1.4, 1.4);
            }
            break;
        case Icon::Power:
            p.setPen(QPen(colour, 1.9, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(2.2, 2.8, 11.6, 11.6), 120 * 16, 300 * 16);
            p.drawLine(QPointF(8, 1.2), QPointF(8, 8));
            break;
    }
    p.restore();
}

// ---- Button faces -------------------------------------------------------------------------

struct Tone {
    QColor top, bottom, edge;
};

const Tone kTeal{QColor(0x3d, 0xae, 0xa8), QColor(0x1a, 0x7a, 0x7c), QColor(0x0f, 0x4f, 0x55)};
const Tone kGreen{QColor(0x4c, 0xbf, 0x78), QColor(0x23, 0x85, 0x49), QColor(0x15, 0x55, 0x2f)};
const Tone kRed{QColor(0xe0, 0x6a, 0x5f), QColor(0xae, 0x35, 0x2e), QColor(0x6e, 0x1f, 0x1b)};
const Tone kSlate{QColor(0x74, 0x8b, 0xa3), QColor(0x46, 0x5c, 0x73), QColor(0x2b, 0x3a, 0x4b)};

// One face of a skin button, painted over the part of the background it covers
// so that it joins the window seamlessly.
QImage buttonFace(const QImage& backdrop, const QString& caption, Icon glyph, const Tone& tone,
                  bool pressed, int fontPx = 14) {
    QImage face = backdrop.copy();
    QPainter p(&face);
    smooth(p);
    const qreal w = face.deviceIndependentSize().width(), h = face.deviceIndependentSize().height();
    const qreal shift = pressed ? 1 : 0;
    const QRectF body(2.5 + shift, 2.5 + shift, w - 6, h - 7);
    const qreal radius = body.height() / 2;

    if (!pressed) {
        // Raised: a shadow under the button.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawRoundedRect(body.translated(0.6, 1.6), radius, radius);
        p.setBrush(QColor(0, 0, 0, 35));
        p.drawRoundedRect(body.translated(0.8, 2.4).adjusted(-0.5, 0, 0.5, 0.5), radius, radius);
    }

    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    if (pressed) {
        fill.setColorAt(0, tone.bottom.darker(118));
        fill.setColorAt(1, tone.bottom.darker(102));
    } else {
        fill.setColorAt(0, tone.top);
        fill.setColorAt(1, tone.bottom);
    }
    p.setPen(QPen(tone.edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);

    QPainterPath inner;
    inner.addRoundedRect(body.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    p.save();
    p.setClipPath(inner);
    if (pressed) {
        // Sunk in: the top edge in shadow.
        QLinearGradient shade(body.topLeft(), body.topLeft() + QPointF(0, 6));
        shade.setColorAt(0, QColor(0, 0, 0, 90));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(body, shade);
    } else {
        // Raised: a gloss on the upper half.
        QLinearGradient gloss(body.topLeft(), body.topLeft() + QPointF(0, body.height() / 2));
        gloss.setColorAt(0, QColor(255, 255, 255, 70));
        gloss.setColorAt(1, QColor(255, 255, 255, 8));
        p.fillRect(QRectF(body.left(), body.top(), body.width(), body.height() / 2), gloss);
    }
    p.restore();

    // The icon in a round chip at the left end.
    const qreal chip = body.height() - 6;
    const QRectF chipBox(body.left() + 3, body.top() + 3, chip, chip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, pressed ? 34 : 46));
    p.drawEllipse(chipBox);
    const qreal side = chip * 0.66;
    icon(p, glyph, QRectF(chipBox.center() - QPointF(side / 2, side / 2), QSizeF(side, side)),
         pressed ? QColor(255, 255, 255, 215) : QColor(Qt::white));

    p.setFont(sans(fontPx, true));
    const QRectF textBox(chipBox.right() + 2, body.top(), body.right() - chipBox.right() - 8,
                         body.height());
    shadowedText(p, textBox, Qt::AlignCenter, caption, pressed ? QColor(240, 246, 248) : Qt::white,
                 QColor(0, 0, 0, pressed ? 60 : 90));
    return face;
}

// ---- Small pieces -------------------------------------------------------------------------

void led(QPainter& p, const QPointF& c, bool on) {
    if (on) {
        QRadialGradient halo(c, 9);
        halo.setColorAt(0.55, QColor(0x3d, 0xdc, 0x84, 120));
        halo.setColorAt(1, QColor(0x3d, 0xdc, 0x84, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, 9, 9);
    }
    QRadialGradient body(c - QPointF(1.5, 2), 7.5);
    if (on) {
        body.setColorAt(0, QColor(0xc8, 0xff, 0xd8));
        body.setColorAt(0.45, QColor(0x3d, 0xdc, 0x84));
        body.setColorAt(1, QColor(0x1a, 0x8c, 0x4a));
    } else {
        body.setColorAt(0, QColor(0xe4, 0xe9, 0xee));
        body.setColorAt(0.6, QColor(0xa9, 0xb5, 0xc1));
        body.setColorAt(1, QColor(0x80, 0x8e, 0x9c));
    }
    p.setPen(QPen(on ? QColor(0x15, 0x6b, 0x3a) : QColor(0x6d, 0x7b, 0x89), 1));
    p.setBrush(body);
    p.drawEllipse(c, 6.2, 6.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, on ? 200 : 150));
    p.drawEllipse(c - QPointF(2, 2.4), 1.8, 1.3);
}

QImage lights() {
    QImage strip = canvas(36, 18, ink::card);
    QPainter p(&strip);
    smooth(p);
    led(p, QPointF(9, 9), false);
    led(p, QPointF(27, 9), true);
    return strip;
}

// The small ok and cancel pictures; the program moves them a pixel when pressed.
QImage smallButton(int w, int h, const QString& caption, const Tone& tone) {
    QImage image = canvas(w, h, ink::card);
    QPainter p(&image);
    smooth(p);
    const QRectF body(0.5, 0.5, w - 1, h - 1);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, tone.top);
    fill.setColorAt(1, tone.bottom);
    p.setPen(QPen(tone.edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, 3.5, 3.5);
    p.setFont(sans(10, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -0.5, w, h), Qt::AlignCenter, caption);
    return image;
}

// A page background of the settings panel: the captions of the fields that
// the program places under each of them.
QImage settingsPage(int w, int h, const std::vector<std::pair<int, QString>>& captions) {
    QImage page = canvas(w, h, ink::card);
    QPainter p(&page);
    smooth(p);
    for (const auto& [top, caption] : captions) {
        p.setPen(Qt::NoPen);
        p.setBrush(ink::teal);
        p.drawRoundedRect(QRectF(1, top + 4, 3, 11), 1.5, 1.5);
        p.setFont(narrow(13, true));
        p.setPen(ink::tealDark);
        p.drawText(QRectF(8, top, w - 8, 19), Qt::AlignLeft | Qt::AlignVCenter, caption);
    }
    return page;
}

// ---- The main window ----------------------------------------------------------------------

void wordmark(QPainter& p, const QPointF& at, const QColor& name, const QColor& tag) {
    p.setFont(sans(24, true));
    p.setPen(name);
    p.drawText(at, QStringLiteral("Obu"));
    p.setFont(narrow(17));
    p.setPen(tag);
    p.drawText(at + QPointF(1, 19), QStringLiteral("Linekeeper"));
}

QImage mainBackground() {
    QImage bg = canvas(600, 216, ink::night0);
    QPainter p(&bg);
    smooth(p);
    nightSky(p, QRectF(0, 0, 600, 216));

    // A soft light behind the mark, top left.
    QRadialGradient glow(QPointF(54, 30), 120);
    glow.setColorAt(0, QColor(0x5c, 0xc8, 0xc0, 46));
    glow.setColorAt(1, QColor(0x5c, 0xc8, 0xc0, 0));
    p.fillRect(QRectF(0, 0, 300, 160), glow);

    // Faint lines of a wire running through the window, behind everything.
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    for (int k = 0; k < 3; ++k) {
        QPainterPath wire;
        wire.moveTo(-10, 150 + 9 * k);
        wire.quadTo(300, 200 + 9 * k, 610, 146 + 9 * k);
        p.drawPath(wire);
    }

    // The mark and the name; the dot at the ring's centre sits at (53, 29).
    emblem(p, QPointF(53.5, 29.5), 21);
    wordmark(p, QPointF(82, 31), Qt::white, ink::tealLight);

    // A shallow tray behind the four main buttons.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.setBrush(QColor(0, 0, 0, 46));
    p.drawRoundedRect(QRectF(3.5, 60.5, 170, 125), 10, 10);

    // The information panel in the middle.
    card(p, QRectF(185.5, 10.5, 230, 150), 10);
    // A quiet line under it.
    p.setFont(narrow(12));
    p.setPen(QColor(0x5c, 0xc8, 0xc0, 170));
    p.drawText(QRectF(185, 163, 230, 16), Qt::AlignCenter,
               QStringLiteral("keeps your dial-up line in hand"));

    // The status line.
    card(p, QRectF(4.5, 188.5, 336, 19), 6);

    // The settings panel at the right, shown only while the window is widened.
    card(p, QRectF(459.5, 8.5, 133, 197), 10);
    p.setPen(QPen(ink::cardEdge, 1));
    p.drawLine(QPointF(468, 161.5), QPointF(584, 161.5));
    return bg;
}

// ---- Pictures of other windows ------------------------------------------------------------

void pole(QPainter& p, qreal x, qreal top, qreal bottom, qreal scale, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRectF(x - 1.6 * scale, top, 3.2 * scale, bottom - top));
    p.drawRect(QRectF(x - 11 * scale, top + 5 * scale, 22 * scale, 2.4 * scale));
    p.drawRect(QRectF(x - 8 * scale, top + 12 * scale, 16 * scale, 2 * scale));
}

// Sagging wires from one pole top to the next.
void wires(QPainter& p, const std::vector<QPointF>& tops, const std::vector<qreal>& scales,
           const QColor& colour) {
    p.setBrush(Qt::NoBrush);
    for (size_t i = 0; i + 1 < tops.size(); ++i) {
        for (int k = -1; k <= 1; k += 2) {
            const QPointF a = tops[i] + QPointF(9 * k * scales[i], 5 * scales[i]);
            const QPointF b = tops[i + 1] + QPointF(9 * k * scales[i + 1], 5 * scales[i + 1]);
            const qreal sag = 0.10 * std::abs(b.x() - a.x());
            QPainterPath wire;
            wire.moveTo(a);
            wire.quadTo((a + b) / 2 + QPointF(0, 2 * sag), b);
            p.setPen(QPen(colour, std::max<qreal>(0.8, 1.1 * scales[i + 1])));
            p.drawPath(wire);
        }
    }
}

QImage splash() {
    QImage image = canvas(324, 189, ink::sky1);
    QPainter p(&image);
    smooth(p);
    QLinearGradient sky(0, 0, 0, 189);
    sky.setColorAt(0, ink::sky0);
    sky.setColorAt(0.75, ink::sky1);
    p.fillRect(image.rect(), sky);

    QRadialGradient sun(QPointF(282, 34), 70);
    sun.setColorAt(0, QColor(0xff, 0xe6, 0xa8, 230));
    sun.setColorAt(0.25, QColor(0xff, 0xe6, 0xa8, 120));
    sun.setColorAt(1, QColor(0xff, 0xe6, 0xa8, 0));
    p.fillRect(image.rect(), sun);

    // Hills: low on the left, where the version is written, rising to the right.
    QPainterPath far;
    far.moveTo(0, 160);
    far.cubicTo(90, 150, 170, 128, 324, 120);
    far.lineTo(324, 189);
    far.lineTo(0, 189);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9f, 0xd6, 0xcf));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, 172);
    near.cubicTo(120, 168, 220, 150, 324, 146);
    near.lineTo(324, 189);
    near.lineTo(0, 189);
    p.setBrush(ink::teal);
    p.drawPath(near);

    // A line of poles coming towards the viewer.
    const std::vector<QPointF> tops = {{160, 118}, {205, 100}, {256, 74}, {312, 40}};
    const std::vector<qreal> scales = {0.45, 0.65, 0.9, 1.2};
    const QColor wood(0x3b, 0x4a, 0x5a);
    wires(p, tops, scales, QColor(0x3b, 0x4a, 0x5a, 200));
    const qreal grounds[] = {160, 163, 168, 189};
    for (size_t i = 0; i < tops.size(); ++i)
        pole(p, tops[i].x(), tops[i].y(), grounds[i], scales[i], wood);

    emblem(p, QPointF(36, 38), 24, true);
    p.setFont(sans(27, true));
    p.setPen(ink::night1);
    p.drawText(QPointF(70, 40), QStringLiteral("Obu"));
    p.setFont(narrow(24));
    p.setPen(ink::tealDark);
    p.drawText(
        QPointF(70 + QFontMetricsF(sans(27, true)).horizontalAdvance(QStringLiteral("Obu ")), 40),
        QStringLiteral("Linekeeper"));
    p.setFont(narrow(14));
    p.setPen(ink::muted);
    p.drawText(QPointF(71, 60), QStringLiteral("your dial-up line, kept"));
    return image;
}

QImage aboutPicture() {
    QImage image = canvas(174, 127, ink::card);
    QPainter p(&image);
    smooth(p);
    const QRectF r(0.5, 0.5, 173, 126);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, ink::night1);
    g.setColorAt(1, ink::night0);
    p.setPen(QPen(ink::night0, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 9, 9);

    emblem(p, QPointF(87, 27), 17);
    p.setFont(sans(16, true));
    shadowedText(p, QRectF(0, 47, 174, 20), Qt::AlignCenter, QStringLiteral("Obu Linekeeper"),
                 Qt::white, QColor(0, 0, 0, 110));
    p.setFont(narrow(13));
    p.setPen(ink::tealLight);
    p.drawText(QRectF(0, 66, 174, 16), Qt::AlignCenter, QStringLiteral("Version 1.3"));
    p.setPen(QPen(QColor(0xf2, 0xb3, 0x3d, 160), 1));
    p.drawLine(QPointF(47, 88.5), QPointF(127, 88.5));
    p.setFont(narrow(12));
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QRectF(0, 91, 174, 15), Qt::AlignCenter,
               QStringLiteral("keeps your dial-up line in hand"));
    p.setFont(narrow(11));
    p.setPen(QColor(0x9f, 0xb8, 0xcc));
    p.drawText(QRectF(0, 107, 174, 14), Qt::AlignCenter, QStringLiteral("click to close"));
    return image;
}

QImage creditsPicture() {
    QImage image = canvas(303, 235, Qt::black);
    QPainter p(&image);
    smooth(p);
    QLinearGradient sky(0, 0, 0, 235);
    sky.setColorAt(0, QColor(0x06, 0x10, 0x1d));
    sky.setColorAt(0.45, ink::night1);
    sky.setColorAt(0.70, QColor(0x2b, 0x6f, 0x85));
    sky.setColorAt(0.78, QColor(0x3f, 0x8e, 0x94));
    p.fillRect(image.rect(), sky);

    // Stars, the same every run.
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < 70; ++i) {
        const qreal x = next() % 303, y = next() % 120;
        const int bright = 110 + static_cast<int>(next() % 140);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, bright * (130 - static_cast<int>(y)) / 130));
        p.drawEllipse(QPointF(x, y), 0.7, 0.7);
    }
    // The moon: a crescent.
    QPainterPath moon;
    moon.addEllipse(QPointF(262, 70), 13, 13);
    QPainterPath bite;
    bite.addEllipse(QPointF(268.5, 65), 11.5, 11.5);
    p.setBrush(QColor(0xff, 0xf0, 0xc8));
    p.drawPath(moon.subtracted(bite));

    p.setFont(sans(20, true));
    shadowedText(p, QRectF(0, 14, 303, 26), Qt::AlignCenter, QStringLiteral("Obu Linekeeper"),
                 Qt::white, QColor(0, 0, 0, 160));
    p.setFont(narrow(13));
    p.setPen(ink::amberLight);
    p.drawText(QRectF(0, 40, 303, 16), Qt::AlignCenter, QStringLiteral("version 1.3"));

    // Land, a house with a lit window, and the line of poles that reaches it.
    QPainterPath hills;
    hills.moveTo(0, 178);
    hills.cubicTo(80, 160, 180, 176, 303, 162);
    hills.lineTo(303, 235);
    hills.lineTo(0, 235);
    // The ridge and the house catch a little of the light left in the sky.
    const QPen rim(QColor(0x9f, 0xd6, 0xcf, 130), 1);
    p.setPen(rim);
    p.setBrush(QColor(0x08, 0x16, 0x24));
    p.drawPath(hills);

    const QPointF house(236, 160);
    p.setBrush(QColor(0x10, 0x20, 0x30));
    QPainterPath roof;
    roof.moveTo(house + QPointF(-14, 0));
    roof.lineTo(house + QPointF(0, -12));
    roof.lineTo(house + QPointF(14, 0));
    roof.closeSubpath();
    p.drawPath(roof);
    p.drawRect(QRectF(house + QPointF(-11, 0), QSizeF(22, 14)));
    p.setPen(Qt::NoPen);
    p.setBrush(ink::amber);
    p.drawRect(QRectF(house + QPointF(-6, 3), QSizeF(6, 5)));

    const std::vector<QPointF> tops = {{36, 82}, {112, 122}, {168, 140}, {212, 150}};
    const std::vector<qreal> scales = {1.3, 0.85, 0.6, 0.42};
    const QColor wood(0x03, 0x08, 0x10);
    wires(p, tops, scales, QColor(0x03, 0x08, 0x10, 230));
    // The last span runs to the house.
    QPainterPath drop;
    drop.moveTo(tops.back() + QPointF(3.8, 2));
    drop.quadTo(QPointF(226, 158), house + QPointF(-10, -2));
    p.setPen(QPen(wood, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(drop);
    const qreal grounds[] = {235, 190, 178, 170};
    for (size_t i = 0; i < tops.size(); ++i)
        pole(p, tops[i].x(), tops[i].y(), grounds[i], scales[i], wood);

    // The bottom fades into the window's black, under the heading.
    QLinearGradient fade(0, 196, 0, 222);
    fade.setColorAt(0, QColor(0, 0, 0, 0));
    fade.setColorAt(1, QColor(0, 0, 0, 255));
    p.fillRect(QRectF(0, 196, 303, 39), fade);
    return image;
}

QImage extrasBackground() {
    // Drawn at (0, -8) in a window 464 x 215: rows 8 to 222 show.
    QImage image = canvas(460, 230, Qt::white);
    QPainter p(&image);
    smooth(p);
    const QRectF ribbon(10.5, 10.5, 439, 26);
    QLinearGradient g(ribbon.topLeft(), ribbon.bottomLeft());
    g.setColorAt(0, ink::night1);
    g.setColorAt(1, ink::night0);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(ribbon, 8, 8);
    emblem(p, QPointF(26, 23.5), 9);
    p.setFont(sans(14, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(42, 10, 200, 27), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Extras"));
    p.setFont(narrow(13));
    p.setPen(ink::tealLight);
    p.drawText(QRectF(100, 10, 340, 27), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("web pages and programs to start once you are online"));

    // The card holds the page text (from 48), the four rows (80 to 173) and the
    // footer with the page arrow, ok and cancel (176 to 197).
    card(p, QRectF(10.5, 41.5, 439, 166), 10);

    // A chevron between each name and its address.
    p.setPen(QPen(ink::teal, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int row = 0; row < 4; ++row) {
        const qreal y = 80 + 24 * row + 10.5;
        QPainterPath chevron;
        chevron.moveTo(172, y - 4);
        chevron.lineTo(177, y);
        chevron.lineTo(172, y + 4);
        p.drawPath(chevron);
    }
    return image;
}

// The program's icon, drawn in a 32 x 32 box: the tray's picture at its own
// size, and scaled up as a whole (pens included) for the desktop's sizes.
void drawProgramIcon(QPainter& p) {
    smooth(p);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, ink::night2);
    g.setColorAt(1, ink::night0);
    p.setPen(QPen(QColor(0x0a, 0x18, 0x28), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 7, 7);
    emblem(p, QPointF(16, 16), 12.5);
}

// ---- Review sheet -------------------------------------------------------------------------

const QImage& find(const std::vector<Picture>& pictures, const QString& file) {
    static const QImage none;
    for (const Picture& picture : pictures)
        if (picture.file == file) return picture.image;
    return none;
}

QImage half(const QImage& strip, int index) {
    const int w = strip.width() / 2;
    return strip.copy(index * w, 0, w, strip.height());
}

// The main window as the program will put it together, with sample texts.
QImage mockMainWindow(const std::vector<Picture>& pictures, bool alarmPage) {
    QImage window = canvas(602, 216, Qt::white);
    QPainter p(&window);
    smooth(p);
    p.drawImage(0, 0, find(pictures, QStringLiteral("obu-background.jpg")));
    auto face = [&](const char* file, int x, int y, int index) {
        p.drawImage(x, y, half(find(pictures, QString::fromLatin1(file)), index));
    };
    face("face-connection.png", 7, 63, 0);
    face("face-alarm.png", 7, 93, alarmPage ? 1 : 0);
    face("face-extras.png", 7, 122, 0);
    face(alarmPage ? "face-disconnect.png" : "face-connect.png", 7, 152, 0);
    face("face-exit.png", 346, 184, 0);

    auto text = [&](const QRectF& box, const QFont& font, const QColor& colour, const QString& s,
                    int flags = Qt::AlignHCenter | Qt::AlignTop) {
        p.setFont(font);
        p.setPen(colour);
        p.drawText(box, flags, s);
    };
    text(QRectF(8, 192, 40, 15), sans(11), Qt::black, QStringLiteral("Status:"), Qt::AlignLeft);
    text(QRectF(50, 192, 290, 15), sans(11), Qt::black, QStringLiteral("Connected to Harbor Net"),
         Qt::AlignLeft);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    if (alarmPage) {
        text(QRectF(208, 16, 161, 17), narrow(13), Qt::black,
             QStringLiteral("Toggle webpages on/off"));
        const QImage lightStrip = find(pictures, QStringLiteral("lights.png"));
        for (int i = 0; i < 4; ++i) {
            p.drawImage(214, 40 + 24 * i, half(lightStrip, i % 2 == 0 ? 1 : 0));
            text(
                QRectF(238, 42 + 24 * i, 163, 23), narrow(13), Qt::black,
                i < 3 ? QStringLiteral("Harbor News %1").arg(i + 1) : QStringLiteral("Not Set Yet"),
                Qt::AlignLeft);
        }
        p.drawImage(472, 24, find(pictures, QStringLiteral("page-alarm.png")));
        p.fillRect(QRect(470, 50, 97, 20), Qt::white);
        p.fillRect(QRect(470, 99, 97, 20), Qt::white);
        p.drawImage(472, 136, half(find(pictures, QStringLiteral("lights.png")), 1));
        text(QRectF(502, 138, 80, 15), sans(11), Qt::black, QStringLiteral("Make Daily"),
             Qt::AlignLeft);
    } else {
        text(QRectF(208, 38, 185, 22), narrow(19, true), Qt::black,
             QStringLiteral("Alarm Set For:"));
        text(QRectF(200, 62, 201, 15), narrow(13), Qt::black,
             QStringLiteral("Daily at 7:30:00 AM"));
        text(QRectF(192, 78, 217, 22), narrow(19, true), Qt::black,
             QStringLiteral("Current Connection Name:"));
        text(QRectF(192, 102, 217, 15), narrow(13), Qt::black, QStringLiteral("Harbor Net"));
        text(QRectF(372, 128, 17, 23), QFont(QStringLiteral("DejaVu Sans"), 13), Qt::black,
             QStringLiteral("\u2193"));
        p.drawImage(472, 16, find(pictures, QStringLiteral("page-connection.png")));
        for (int y : {40, 93, 136}) p.fillRect(QRect(470, y, 97, y == 40 ? 28 : 20), Qt::white);
    }
    p.drawImage(480, 168, find(pictures, QStringLiteral("ok.png")));
    p.drawImage(518, 168, find(pictures, QStringLiteral("cancel.png")));
    return window;
}

// The extras editor with its rows and buttons in place.
QImage mockExtrasEditor(const std::vector<Picture>& pictures) {
    QImage window = canvas(464, 215, Qt::white);
    QPainter p(&window);
    smooth(p);
    p.drawImage(0, -8, find(pictures, QStringLiteral("obu-extras.jpg")));
    p.setFont(sans(11));
    p.setPen(Qt::black);
    p.drawText(QRectF(64, 40, 334, 26), Qt::AlignHCenter | Qt::TextWordWrap,
               QStringLiteral(
                   "Add the names and addresses of webpages that you would like to visit after OBU "
                   "connects you to your internet provider."));
    for (int row = 0; row < 4; ++row) {
        const int y = 72 + 24 * row;
        for (const QRect& box : {QRect(58, y, 105, 21), QRect(188, y, 209, 21)}) {
            p.setPen(QColor(0x7a, 0x8a, 0x99));
            p.setBrush(Qt::white);
            p.drawRect(box.adjusted(0, 0, -1, -1));
        }
        p.setPen(Qt::black);
        p.drawText(QRect(62, y, 100, 21), Qt::AlignVCenter,
                   QStringLiteral("Webpage Name %1").arg(row + 1));
        p.drawText(QRect(192, y, 200, 21), Qt::AlignVCenter, QStringLiteral("http://"));
    }
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 13));
    p.drawText(QRect(72, 168, 15, 21), Qt::AlignCenter, QStringLiteral("\u2193"));
    p.drawImage(296, 171, find(pictures, QStringLiteral("ok.png")));
    p.drawImage(336, 171, find(pictures, QStringLiteral("cancel.png")));
    return window;
}

// The splash with its version label, and the credits screen with its heading and text.
QImage mockSplashAndCredits(const std::vector<Picture>& pictures) {
    QImage window = canvas(322 + 16 + 305, 398, QColor(0xdd, 0xe3, 0xe8));
    QPainter p(&window);
    smooth(p);
    p.drawImage(0, 0, find(pictures, QStringLiteral("obu-splash.jpg")));
    QFont times(QStringLiteral("Liberation Serif"));
    times.setPixelSize(21);
    p.setFont(times);
    p.setPen(QColor(0, 128, 128));
    p.drawText(QRectF(8, 122, 125, 23), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("Version 1.3"));

    const QRect credits(338, 0, 305, 398);
    p.fillRect(credits, Qt::black);
    p.drawImage(credits.topLeft(), find(pictures, QStringLiteral("obu-credits.jpg")));
    p.setFont(narrow(13));
    p.setPen(Qt::white);
    p.drawText(QRectF(credits.left() + 16, 224, 265, 13), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("The OBU Production Team:"));
    p.drawText(QRectF(credits.left() + 24, 248 + 96, 249, 17), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("Lead Programmer"));
    return window;
}

}  // namespace

std::vector<Picture> makePictures(int pixelsPerPoint) {
    g_pixelsPerPoint = pixelsPerPoint;
    const QImage background = mainBackground();
    auto strip = [&](const QRect& place, const QString& caption, Icon glyph, const Tone& tone,
                     int fontPx = 14) {
        const QImage backdrop = cut(background, place);
        QImage both = canvas(place.width() * 2, place.height());
        QPainter p(&both);
        p.drawImage(0, 0, buttonFace(backdrop, caption, glyph, tone, false, fontPx));
        p.drawImage(place.width(), 0, buttonFace(backdrop, caption, glyph, tone, true, fontPx));
        return both;
    };
    const QRect column(7, 63, 163, 31);
    std::vector<Picture> pictures = {
        {QStringLiteral("obu-background.jpg"), background, true},
        {QStringLiteral("obu-splash.jpg"), splash(), true},
        {QStringLiteral("obu-about.jpg"), aboutPicture(), true},
        {QStringLiteral("obu-credits.jpg"), creditsPicture(), true},
        {QStringLiteral("obu-extras.jpg"), extrasBackground(), true},
        {QStringLiteral("face-connection.png"),
         strip(column, QStringLiteral("Connection"), Icon::Phone, kTeal)},
        {QStringLiteral("face-alarm.png"),
         strip(column.translated(0, 30), QStringLiteral("Set Alarm"), Icon::Clock, kTeal)},
        {QStringLiteral("face-extras.png"),
         strip(column.translated(0, 59), QStringLiteral("Extras"), Icon::Grid, kTeal)},
        {QStringLiteral("face-connect.png"),
         strip(column.translated(0, 89), QStringLiteral("Connect"), Icon::Plug, kGreen)},
        {QStringLiteral("face-disconnect.png"),
         strip(column.translated(0, 89), QStringLiteral("Disconnect"), Icon::Unplug, kRed)},
        {QStringLiteral("face-exit.png"),
         strip(QRect(346, 184, 82, 29), QStringLiteral("Exit"), Icon::Power, kSlate, 13)},
        {QStringLiteral("lights.png"), lights()},
        {QStringLiteral("ok.png"), smallButton(16, 13, QStringLiteral("ok"), kTeal)},
        {QStringLiteral("cancel.png"), smallButton(40, 13, QStringLiteral("cancel"), kSlate)},
        {QStringLiteral("page-alarm.png"),
         settingsPage(91, 75,
                      {{5, QStringLiteral("Alarm time")}, {53, QStringLiteral("One-time date")}})},
        {QStringLiteral("page-connection.png"), settingsPage(91, 121,
                                                             {{4, QStringLiteral("Dial-up entry")},
                                                              {58, QStringLiteral("User name")},
                                                              {101, QStringLiteral("Password")}})},
        {QStringLiteral("obu-icon.png"), programIcon(32)},
    };
    // Opaque pictures are stored without an alpha channel.
    for (Picture& picture : pictures)
        if (picture.file != QLatin1String("obu-icon.png"))
            picture.image = picture.image.convertToFormat(QImage::Format_RGB32);
    if (pixelsPerPoint != 1)
        for (Picture& picture : pictures) {
            const qsizetype dot = picture.file.lastIndexOf(QLatin1Char('.'));
            picture.file.insert(dot, QStringLiteral("@%1x").arg(pixelsPerPoint));
        }
    g_pixelsPerPoint = 1;
    return pictures;
}

QImage programIcon(int size) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);
    drawProgramIcon(p);
    return image;
}

QByteArray programIconSvg() {
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRectF(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("Obu Linekeeper"));
    QPainter p(&svg);
    drawProgramIcon(p);
    p.end();
    return buffer.data();
}

QImage contactSheet(const std::vector<Picture>& pictures) {
    const int scale = 2, margin = 16, labelHeight = 18;
    const QImage mocks[] = {mockMainWindow(pictures, false), mockMainWindow(pictures, true),
                            mockExtrasEditor(pictures), mockSplashAndCredits(pictures)};
    // Lay the pictures out in rows no wider than the mock-ups.
    int width = 0;
    for (const QImage& mock : mocks) width = std::max(width, mock.width() * scale + 2 * margin);
    std::vector<std::pair<QPoint, const Picture*>> places;
    int x = margin, y = margin, rowHeight = 0;
    for (const QImage& mock : mocks) y += mock.height() * scale + labelHeight + margin;
    for (const Picture& picture : pictures) {
        const QSize size = picture.image.size() * scale;
        if (x + size.width() > width - margin) {
            x = margin;
            y += rowHeight + labelHeight + margin;
            rowHeight = 0;
        }
        places.push_back({QPoint(x, y), &picture});
        x += size.width() + margin;
        rowHeight = std::max(rowHeight, size.height());
    }
    QImage sheet = canvas(width, y + rowHeight + labelHeight + margin, QColor(0xdd, 0xe3, 0xe8));
    QPainter p(&sheet);
    p.setFont(sans(12));
    p.setPen(Qt::black);
    int top = margin;
    for (const QImage& mock : mocks) {
        p.drawText(margin, top + 13, QStringLiteral("mock-up from the pieces, with sample texts"));
        p.drawImage(QRect(QPoint(margin, top + labelHeight), mock.size() * scale), mock);
        top += mock.height() * scale + labelHeight + margin;
    }
    for (const auto& [at, picture] : places) {
        p.drawText(at.x(), at.y() + 13,
                   QStringLiteral("%1  %2 x %3")
                       .arg(picture->file)
                       .arg(picture->image.width())
                       .arg(picture->image.height()));
        p.drawImage(QRect(at + QPoint(0, labelHeight), picture->image.size() * scale),
                    picture->image);
    }
    return sheet;
}

}  // namespace obu::assets
