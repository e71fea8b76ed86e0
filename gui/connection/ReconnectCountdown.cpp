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
    secondsLabel = new QLabel(QString::number(count.secondsLeft()), this);
    secondsLabel->setGeometry(40, 82, 50, 22);
    secondsLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    secondsLabel->setFont(bold);
    auto* unit = new QLabel(QStringLiteral("seconds"), this);
    unit->setGeometry(96, 82, 80, 22);
    unit->setFont(bold);

    cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    cancelButton->setGeometry(64, 112, 75, 25);
    connect(cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { emit cancelled(); }); });

    centreOnScreen();
    connect(&count, &Countdown::secondsLeftChanged, secondsLabel,
            [this](int seconds) { secondsLabel->setText(QString::number(seconds)); });
}

}  // namespace obu
