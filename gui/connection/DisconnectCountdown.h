#pragma once
#include <QLabel>
#include <QPushButton>

#include "gui/skin/Form.h"
#include "model/Countdown.h"

namespace obu {

// The disconnect countdown: "OBU will disconnect you in N seconds.", the line
// keeper's thirty-second warning before its disconnect timer hangs up.
class DisconnectCountdown : public Form {
    Q_OBJECT
public:
    DisconnectCountdown(ProgramModel& program, const Countdown& count);

signals:
    // The user pressed cancel: the line stays up.
    void cancelled();

protected:
    void onShown() override;

private:
    const Countdown& m_count;
    // Named "secondsLabel" and "cancelButton".
    QLabel* m_secondsLabel = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

}  // namespace obu
