#pragma once
#include <QAbstractButton>
#include <QBasicTimer>
#include <QLineEdit>
#include <QPointer>
#include <functional>

#include "gui/extras/OpenDialog.h"

namespace obu {

class BrowseEdit;

// The narrow button at the right end of a browse edit: a flat button drawn in
// the system's button colours with three dots.
class TBrowseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TBrowseButton(BrowseEdit* edit);

    // The pixel colours of the face, from the palette as the desktop sets it.
    struct Colours {
        QColor face, light3d, highlight, darkShadow, shadow, text;
    };
    Colours colours() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    BrowseEdit* m_edit;
};

// A one-line edit with a browse button that picks a file through an open-file
// dialog. Typed text never runs under the button; Enter beeps and inserts
// nothing; the caret is one pixel wide and as high as the edit's inside less
// four pixels.
class BrowseEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit BrowseEdit(QWidget* parent = nullptr);
    ~BrowseEdit() override;

    // The dialog the button opens; none when it is destroyed.
    QPointer<OpenDialog> dialog;
    // Whether a chosen file (and the text, when tabbed into) is selected whole.
    bool autoSelect = true;
    // Every character typed, Enter (13) included, before the edit acts on it.
    std::function<void(QChar)> onKeyPress;
    // The system's beep, with which Enter is answered.
    std::function<void()> Beep;

    // What the button does: the dialog's file replaces the text when one is chosen.
    void browseForFile();

    TBrowseButton* button() const { return m_button; }
    static constexpr int kButtonWidth = 16;
    // The caret's place in the edit (empty while it is hidden), for tests.
    QRect caretRect() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // The inside of the edit, within its frame.
    QRect clientRect() const;
    void placeButton();

    TBrowseButton* m_button;
    QBasicTimer m_blink;
    bool m_caretOn = false;
};

}  // namespace obu
