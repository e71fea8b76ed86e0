#pragma once
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "ui/Form.h"

namespace obu {

// The largest number of minutes the disconnect timer offers.
constexpr int kMaxDisconnectMinutes = 1000;
// The minutes the disconnect timer uses for a stored value.
int DisconnectTimerMinutes(int stored);

// The disconnect-timer dialog: "Disconnect after N minutes of being connected."
class DisconnectTimerDialog : public Form {
    Q_OBJECT
public:
    explicit DisconnectTimerDialog(Program& program);

    QLabel* Label1 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    void okButtonClick();
    void cancelButtonClick();

protected:
    void FormShow() override;
};

}  // namespace obu
