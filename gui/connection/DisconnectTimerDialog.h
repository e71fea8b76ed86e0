#pragma once
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "gui/skin/Form.h"

namespace obu {

// The disconnect-timer dialog: "Disconnect after N minutes of being connected."
class DisconnectTimerDialog : public Form {
    Q_OBJECT
public:
    explicit DisconnectTimerDialog(ProgramModel& program);

protected:
    void onShown() override;

private:
    // Stores the minutes chosen; zero also ends a warning already counting.
    void acceptMinutes();

    QLabel* m_textBefore = nullptr;
    QSpinBox* m_minutesBox = nullptr;
    QLabel* m_textAfter = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace obu
