#include "gui/connection/DisconnectTimerDialog.h"

#include "gui/program/ProgramModel.h"
#include "model/LineKeeper.h"

namespace obu {

DisconnectTimerDialog::DisconnectTimerDialog(ProgramModel& program)
    : Form(program, QStringLiteral(" "), 220, 104) {
    // No border icons: the dialog is left through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(15);
    setFont(font);

    m_textBefore = new QLabel(QStringLiteral("Disconnect after "), this);
    m_textBefore->setObjectName(QStringLiteral("textBefore"));
    m_textBefore->setGeometry(16, 14, 100, 22);
    m_minutesBox = new QSpinBox(this);
    m_minutesBox->setObjectName(QStringLiteral("minutesBox"));
    m_minutesBox->setGeometry(118, 12, 70, 24);
    m_minutesBox->setRange(0, kMaxDisconnectMinutes);
    m_minutesBox->setValue(0);
    m_textAfter = new QLabel(QStringLiteral("minutes of being connected."), this);
    m_textAfter->setObjectName(QStringLiteral("textAfter"));
    m_textAfter->setGeometry(16, 40, 190, 22);
    m_okButton = new QPushButton(QStringLiteral("ok"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(30, 70, 70, 24);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(120, 70, 70, 24);
    connect(m_okButton, &QPushButton::clicked, this,
            [this] { handle([this] { acceptMinutes(); }); });
    connect(m_cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { hideWindow(); }); });
    answerEnterAndEscape(
        [this] {
            acceptMinutes();
            return true;
        },
        [this] {
            hideWindow();
            return true;
        });

    centreOnScreen();
}

void DisconnectTimerDialog::onShown() {
    m_minutesBox->setValue(program().settings().number(Setting::DisconnectMinutes));
}

void DisconnectTimerDialog::acceptMinutes() {
    // Text typed beyond the range is brought into it by the spin box itself.
    m_minutesBox->interpretText();
    const int minutes = m_minutesBox->value();
    program().settings().setNumber(Setting::DisconnectMinutes, minutes);
    // No timer any more: a warning already counting goes too.
    if (minutes == 0) program().lineKeeper().stopDisconnectTimer();
    hideWindow();
}

}  // namespace obu
