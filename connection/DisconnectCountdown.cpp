#include "connection/DisconnectCountdown.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/MainWindow.h"
#include "core/Program.h"

namespace obu {

DisconnectCountdown::DisconnectCountdown(Program& program)
    : Form(program, QStringLiteral(" "), 200, 132) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(16);
    setFont(font);

    Label1 = new QLabel(QStringLiteral("OBU will disconnect you in"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 184, 22);
    Label1->setAlignment(Qt::AlignCenter);
    QFont big = font;
    big.setBold(true);
    big.setPixelSize(28);
    Label2 = new QLabel(QStringLiteral("0"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 32, 184, 34);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setFont(big);
    Label3 = new QLabel(QStringLiteral("seconds."), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(8, 66, 184, 22);
    Label3->setAlignment(Qt::AlignCenter);
    cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(62, 96, 76, 26);
    connect(cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { cancelButtonClick(); }); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
}

void DisconnectCountdown::cancelButtonClick() {
    program().mainWindow->dtimer.setEnabled(false);
    Hide();
}

}  // namespace obu
