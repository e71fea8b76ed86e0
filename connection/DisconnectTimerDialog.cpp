#include "connection/DisconnectTimerDialog.h"

#include "core/MainWindow.h"
#include "core/Program.h"

namespace obu {

DisconnectTimerDialog::DisconnectTimerDialog(Program& program)
    : Form(program, QStringLiteral(" "), 220, 104) {
    // No border icons: the dialog is left through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setButtonless(true);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(15);
    setFont(font);

    Label1 = new QLabel(QStringLiteral("Disconnect after "), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 14, 100, 22);
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setGeometry(118, 12, 70, 24);
    SpinEdit1->setRange(0, kMaxDisconnectMinutes);
    SpinEdit1->setValue(0);
    Label2 = new QLabel(QStringLiteral("minutes of being connected."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(16, 40, 190, 22);
    okButton = new QPushButton(QStringLiteral("ok"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(30, 70, 70, 24);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(120, 70, 70, 24);
    connect(okButton, &QPushButton::clicked, this, [this] { handle([this] { okButtonClick(); }); });
    connect(cancelButton, &QPushButton::clicked, this,
            [this] { handle([this] { cancelButtonClick(); }); });

    centreOnScreen();
}

void DisconnectTimerDialog::FormShow() {
    SpinEdit1->setValue(program().mainWindow->settings->number(Setting::DisconnectMinutes));
}

void DisconnectTimerDialog::okButtonClick() {
    // Text typed beyond the range is brought into it by the spin box itself.
    SpinEdit1->interpretText();
    const int minutes = SpinEdit1->value();
    MainWindow* main = program().mainWindow;
    main->settings->setNumber(Setting::DisconnectMinutes, minutes);
    // No timer any more: a warning already counting goes too.
    if (minutes == 0) main->StopDisconnectTimer();
    Hide();
}

void DisconnectTimerDialog::cancelButtonClick() {
    Hide();
}

}  // namespace obu
