#pragma once
#include <QLabel>
#include <QPushButton>

#include "ui/Form.h"

namespace obu {

// The disconnect countdown: "OBU will disconnect you in N seconds." The count
// lives in the text of Label2 alone.
class DisconnectCountdown : public Form {
    Q_OBJECT
public:
    explicit DisconnectCountdown(Program& program);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* cancelButton = nullptr;

    void cancelButtonClick();
};

}  // namespace obu
