#include "gui/connection/DisconnectCountdown.h"

#include "gui/program/ProgramModel.h"

namespace obu {

DisconnectCountdown::DisconnectCountdown(ProgramModel& program, const Countdown& count)
    : Form(program, QStringLiteral(" "), 200, 132), m_count(count) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(16);
    setFont(font);

    auto* lead = new QLabel(QStringLiteral("OBU will disconnect you in"), this);
    lead->setGeometry(8, 8, 184, 22);
    lead->setAlignment(Qt::AlignCenter);
    QFont big = font;
    big.setBold(true);
    big.setPixelSize(28);
    // Shows 0 until the first warning.
    m_secondsLabel = new QLabel(QStringLiteral("0"), this);
    m_secondsLabel->setObjectName(QStringLiteral("secondsLabel"));
    m_secondsLabel->setGeometry(8, 32, 184, 34);
    m_secondsLabel->setAlignment(Qt::AlignCenter);
    m_secondsLabel->setFont(big);
    auto* unit = new QLabel(QStringLiteral("seconds."), this);
    unit->setGeometry(8, 66, 184, 22);
    unit->setAlignment(Qt::AlignCenter);
    m_cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(62, 96, 76, 26);
    connect(m_cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { emit cancelled(); }); });
    // Escape is the cancel button; Enter does nothing that the count would not.
    answerEnterAndEscape(nullptr, [this] {
        emit cancelled();
        return true;
    });

    centreOnScreen();
    connect(&m_count, &Countdown::secondsLeftChanged, m_secondsLabel,
            [this](int seconds) { m_secondsLabel->setText(QString::number(seconds)); });
}

// Each warning starts from the full count.
void DisconnectCountdown::onShown() {
    m_secondsLabel->setText(QString::number(m_count.secondsLeft()));
}

}  // namespace obu
