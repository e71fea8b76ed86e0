#pragma once
#include <QDateTimeEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>

namespace obu {

// A date or time picker that takes typed digits as any time editor does: a
// click or the focus selects the field under the cursor, so digits replace
// the field (and move on to the next one when it is full) instead of being
// inserted beside its old value and refused.
template <class Picker>
class SectionTyping : public Picker {
public:
    explicit SectionTyping(QWidget* parent) : Picker(parent) {
        // Clicks land on the text inside, which has placed the cursor by the release.
        this->lineEdit()->installEventFilter(this);
    }

protected:
    void focusInEvent(QFocusEvent* event) override {
        Picker::focusInEvent(event);
        selectCurrentField();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == this->lineEdit() && event->type() == QEvent::MouseButtonRelease)
            selectCurrentField();
        return Picker::eventFilter(watched, event);
    }

private:
    void selectCurrentField() {
        if (this->currentSection() != QDateTimeEdit::NoSection)
            this->setSelectedSection(this->currentSection());
    }
};

}  // namespace obu
