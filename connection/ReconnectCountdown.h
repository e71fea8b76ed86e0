#pragma once
#include <QLabel>
#include <QPushButton>

#include "platform/WindowTimer.h"
#include "ui/Form.h"

namespace obu {

// "Reconnect": after something else dropped the connection, counts ten
// seconds down and then dials the same entry again, unless cancelled. The
// count lives in the text of Label2 alone.
class ReconnectCountdown : public Form {
    Q_OBJECT
public:
    explicit ReconnectCountdown(Program& program);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button1 = nullptr;
    WindowTimer Timer1;

    void Timer1Timer();
    void Button1Click();

protected:
    void FormShow() override;
};

}  // namespace obu
