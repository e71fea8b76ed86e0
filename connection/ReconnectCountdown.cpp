#include "connection/ReconnectCountdown.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Platform.h"
#include "shell/SplashScreen.h"

namespace obu {

ReconnectCountdown::ReconnectCountdown(Program& program)
    : Form(program, QStringLiteral("Reconnect"), 204, 146), Timer1(*program.platform().loop, 1000) {
    // A single border without a system menu or a close box, above every other window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    setFont(font);

    Label1 = new QLabel(
        QStringLiteral("OBU has detected that your connection was cancelled by a source other that "
                       "itself. OBU will automatically reconnect you in:"),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 188, 70);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);

    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(16);
    Label2 = new QLabel(QStringLiteral("10"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(40, 82, 50, 22);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2->setFont(bold);
    Label3 = new QLabel(QStringLiteral("seconds"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(96, 82, 80, 22);
    Label3->setFont(bold);

    Button1 = new QPushButton(QStringLiteral("cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(64, 112, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { handle([this] { Button1Click(); }); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    Timer1.setOnTimer([this] { Timer1Timer(); });
}

void ReconnectCountdown::FormShow() {
    Timer1.setEnabled(true);
}

void ReconnectCountdown::Timer1Timer() {
    const int seconds = Label2->text().toInt();
    if (seconds > 0) {
        Label2->setText(QString::number(seconds - 1));
        return;
    }
    MainWindow* main = program().mainWindow;
    const std::int32_t refused = main->DialOwnCall();
    Hide();
    Label2->setText(QStringLiteral("10"));
    Timer1.setEnabled(false);
    main->WriteLogLines({QStringLiteral("Connection Terminated by unknown source"),
                         QStringLiteral("Attempting to Reconnect.")});
    if (refused != 0) main->ReportDialFailure(refused, main->ServiceErrorText(refused));
}

void ReconnectCountdown::Button1Click() {
    Timer1.setEnabled(false);
    Hide();
    Label2->setText(QStringLiteral("10"));
    MainWindow* main = program().mainWindow;
    main->SessionActive = false;
    main->DrawConnectFace();
    program().splashScreen->Connect1->setText(QStringLiteral("Connect"));
    main->ReadyToConnect = true;
    main->WriteLogLines({QStringLiteral("Connection Terminated by unknown source"),
                         QStringLiteral("Reconnect canceled by user")});
}

}  // namespace obu
