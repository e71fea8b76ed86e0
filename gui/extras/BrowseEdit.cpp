#include "gui/extras/BrowseEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTimerEvent>

namespace obu {
namespace {

// The edit draws its own caret; the style's is switched off.
class NoCaretStyle : public QProxyStyle {
public:
    // On a copy of the application's style, so the edit looks like the others.
    NoCaretStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TextCursorWidth) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The pixels of a straight line from `from` towards `to`, the end point left
// out, as the system's line drawing does.
void line(QPainter& p, const QColor& colour, QPoint from, QPoint to) {
    p.setPen(colour);
    const QPoint step((to.x() > from.x()) - (to.x() < from.x()),
                      (to.y() > from.y()) - (to.y() < from.y()));
    for (QPoint at = from; at != to; at += step) p.drawPoint(at);
}

void polyline(QPainter& p, const QColor& colour, QPoint a, QPoint b, QPoint c) {
    line(p, colour, a, b);
    line(p, colour, b, c);
}

}  // namespace

TBrowseButton::TBrowseButton(BrowseEdit* edit) : QAbstractButton(edit), m_edit(edit) {
    setObjectName(QStringLiteral("BrowseButton"));
    setCursor(Qt::ArrowCursor);
    // The focus stays with the edit, which a press gives it.
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, edit, [edit] { edit->browseForFile(); });
    show();
}

TBrowseButton::Colours TBrowseButton::colours() const {
    const QPalette& pal = palette();
    return {pal.color(QPalette::Button), pal.color(QPalette::Midlight),
            pal.color(QPalette::Light),  pal.color(QPalette::Shadow),
            pal.color(QPalette::Dark),   pal.color(QPalette::ButtonText)};
}

void TBrowseButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width();
    const int h = height();
    const Colours c = colours();
    QPoint dots;
    if (isDown() || isChecked()) {
        p.setPen(c.shadow);
        p.setBrush(c.face);
        p.drawRect(0, 0, w - 1, h - 1);
        dots = QPoint(5, h - 4);
    } else {
        p.fillRect(rect(), c.face);
        polyline(p, c.light3d, {0, h - 1}, {0, 0}, {w - 1, 0});
        polyline(p, c.highlight, {1, h - 1}, {1, 1}, {w - 1, 1});
        polyline(p, c.darkShadow, {0, h - 1}, {w - 1, h - 1}, {w - 1, -1});
        polyline(p, c.shadow, {1, h - 2}, {w - 2, h - 2}, {w - 2, 0});
        dots = QPoint(4, h - 5);
    }
    for (int i = 0; i < 3; ++i) {
        const QPoint dot = dots + QPoint(3 * i, 0);
        if (m_edit->isEnabled()) {
            p.setPen(c.text);
            p.drawPoint(dot);
        } else {
            p.setPen(c.highlight);
            p.drawPoint(dot + QPoint(1, 1));
            p.setPen(c.shadow);
            p.drawPoint(dot);
        }
    }
}

void TBrowseButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    if (m_edit->isEnabled() && (m_edit->focusPolicy() & Qt::ClickFocus))
        m_edit->setFocus(Qt::MouseFocusReason);
}

BrowseEdit::BrowseEdit(QWidget* parent) : QLineEdit(parent), Beep([] { QApplication::beep(); }) {
    setStyle(new NoCaretStyle);
    m_button = new TBrowseButton(this);
    // Typed text stops where the button begins.
    setTextMargins(0, 0, kButtonWidth, 0);
    connect(this, &QLineEdit::cursorPositionChanged, this, [this] {
        // A moved caret shows at once and blinks from there.
        if (!m_blink.isActive()) return;
        m_caretOn = true;
        m_blink.start(qMax(1, QGuiApplication::styleHints()->cursorFlashTime() / 2), this);
        update();
    });
    placeButton();
}

BrowseEdit::~BrowseEdit() {
    QStyle* own = style();
    setStyle(nullptr);
    delete own;
}

QRect BrowseEdit::clientRect() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) : 0;
    return rect().adjusted(frame, frame, -frame, -frame);
}

void BrowseEdit::placeButton() {
    const QRect client = clientRect();
    m_button->setGeometry(client.right() + 1 - kButtonWidth, client.top(), kButtonWidth,
                          client.height());
}

void BrowseEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeButton();
}

void BrowseEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // A one-line edit has no use for a line break: a beep says so.
        if (Beep) Beep();
        if (onKeyPress) onKeyPress(QChar(13));
        event->accept();
        return;
    }
    if (onKeyPress && !event->text().isEmpty()) onKeyPress(event->text().front());
    QLineEdit::keyPressEvent(event);
}

void BrowseEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    const bool tabbedIn = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                          reason == Qt::ShortcutFocusReason;
    if (tabbedIn && !autoSelect) deselect();
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0) m_blink.start(qMax(1, flash / 2), this);
    update();
}

void BrowseEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    m_blink.stop();
    m_caretOn = false;
    update();
}

void BrowseEdit::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blink.timerId()) {
        QLineEdit::timerEvent(event);
        return;
    }
    m_caretOn = !m_caretOn;
    update();
}

void BrowseEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) m_button->update();
}

QRect BrowseEdit::caretRect() const {
    if (!m_caretOn || !hasFocus() || hasSelectedText()) return {};
    const QRect client = clientRect();
    // The line edit's cursor rectangle reaches 5 pixels left of the caret's place.
    const int x = cursorRect().x() + 5;
    return QRect(x, client.top() + 2, 1, client.height() - 4);
}

void BrowseEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    const QRect caret = caretRect();
    if (caret.isEmpty()) return;
    QPainter p(this);
    p.fillRect(caret, palette().color(QPalette::Text));
}

void BrowseEdit::browseForFile() {
    if (!dialog || !dialog->choose()) return;
    setText(dialog->fileName);
    if (autoSelect) selectAll();
}

}  // namespace obu
