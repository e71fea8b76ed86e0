#include "gui/connection/ReconnectCountdown.h"

#include "gui/program/ProgramModel.h"

namespace obu {

ReconnectCountdown::ReconnectCountdown(ProgramModel& program, const Countdown& count)
    : Form(program, QStringLiteral("Reconnect"), 204, 146) {
    // A single border without a system menu or a close box, above every other window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    setFont(font);

    auto* explanation = new QLabel(
        QStringLiteral("OBU has detected that your connection was cancelled by a source other that "
                       "itself. OBU will automatically reconnect you in:"),
        this);
    explanation->setGeometry(8, 8, 188, 70);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignCenter);

    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(16);
    m_secondsLabel = new QLabel(QString::number(count.secondsLeft()), this);
    m_secondsLabel->setObjectName(QStringLiteral("secondsLabel"));
    m_secondsLabel->setGeometry(40, 82, 50, 22);
    m_secondsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_secondsLabel->setFont(bold);
    auto* unit = new QLabel(QStringLiteral("seconds"), this);
    unit->setGeometry(96, 82, 80, 22);
    unit->setFont(bold);

    m_cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(64, 112, 75, 25);
    connect(m_cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { emit cancelled(); }); });
    // Escape is the cancel button; Enter does nothing that the count would not.
    answerEnterAndEscape(nullptr, [this] {
        emit cancelled();
        return true;
    });

    centreOnScreen();
    connect(&count, &Countdown::secondsLeftChanged, m_secondsLabel,
            [this](int seconds) { m_secondsLabel->setText(QString::number(seconds)); });
}

}  // namespace obu
