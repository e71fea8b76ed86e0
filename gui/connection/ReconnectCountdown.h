#pragma once
#include <QLabel>
#include <QPushButton>

#include "gui/skin/Form.h"
#include "model/Countdown.h"

namespace obu {

// "Reconnect": after something else dropped the connection, shows the line
// keeper's ten-second count until the keeper dials again or the user cancels.
class ReconnectCountdown : public Form {
    Q_OBJECT
public:
    ReconnectCountdown(ProgramModel& program, const Countdown& count);

signals:
    // The user pressed cancel.
    void cancelled();

private:
    // Named "secondsLabel" and "cancelButton".
    QLabel* m_secondsLabel = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace obu
