#pragma once
#include <QLabel>
#include <QPushButton>

#include "gui/skin/Form.h"
#include "model/Countdown.h"

namespace obu {

// "Reconnect": after something else dropped the connection, counts ten
// seconds down from when it is shown. Its owner dials again when the count
// expires, or ends the session when the user cancels.
class ReconnectCountdown : public Form {
    Q_OBJECT
public:
    explicit ReconnectCountdown(Program& program);

    QLabel* secondsLabel = nullptr;
    QPushButton* cancelButton = nullptr;

signals:
    // The count ran out; the window is hidden by then.
    void expired();
    // The user cancelled; the window is already hidden.
    void cancelled();

protected:
    void FormShow() override;

private:
    void cancel();

    Countdown m_count;
};

}  // namespace obu
