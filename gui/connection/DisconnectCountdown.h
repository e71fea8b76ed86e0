#pragma once
#include <QLabel>
#include <QPushButton>

#include "gui/skin/Form.h"
#include "model/Countdown.h"

namespace obu {

// The disconnect countdown: "OBU will disconnect you in N seconds." Its
// owner hangs up when the count expires.
class DisconnectCountdown : public Form {
    Q_OBJECT
public:
    explicit DisconnectCountdown(Program& program);

    // Shows the window with thirty seconds to go.
    void start();
    // Hides the window and forgets the count.
    void stop();

    QLabel* secondsLabel = nullptr;
    QPushButton* cancelButton = nullptr;

signals:
    // The count ran out; the window is hidden by then.
    void expired();

private:
    Countdown m_count;
};

}  // namespace obu
