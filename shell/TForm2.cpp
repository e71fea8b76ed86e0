#include "shell/TForm2.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/Program.h"
#include "core/TForm1.h"
#include "connection/TForm7.h"
#include "extras/TForm4.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/Platform.h"
#include "ui/JpegImage.h"

namespace obu {

TForm2::TForm2(Program& program)
    : Form(program, QStringLiteral(" "), 322, 189), Timer1(*program.platform().loop, 5000) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // The splash picture, sized to itself, under the version label.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QImage splash = loadJpeg(program.platform().programFolder + QStringLiteral("obu-splash.jpg"));
    if (!splash.isNull()) {
        Image1->setPixmap(QPixmap::fromImage(splash));
        Image1->setGeometry(0, 0, splash.width(), splash.height());
    }
    Label1 = new QLabel(QStringLiteral("Version 1.3"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 122, 125, 23);
    Label1->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(21);
    Label1->setFont(font);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, QColor(0, 128, 128));
    Label1->setPalette(labelPal);

    buildMenu();

    // The tray icon is added while the window loads; the tip and picture follow.
    TrayIcon1 = std::make_unique<TTrayIcon>(*program.platform().tray, *program.platform().loop);
    TrayIcon1->setActive(true);
    TIcon icon(QIcon(program.platform().programFolder + QStringLiteral("obu-icon.png")));
    TrayIcon1->setIcon(icon);
    TrayIcon1->setToolTip(QStringLiteral("OBU v1.3"));
    TrayIcon1->setOnClick([this](TTrayIcon*) { TrayIcon1Click(); });
    TrayIcon1->setPopupMenu(PopupMenu1);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    Timer1.setOnTimer([this] { Timer1Timer(); });
    Timer1.setEnabled(true);
    // Visible from its creation, and painted before the other windows are
    // built, which takes a while: the user sees the program at once.
    Show();
    program.platform().loop->letWindowsPaint([this] { return testAttribute(Qt::WA_Mapped); }, 500);
}

TForm2::~TForm2() { TrayIcon1.reset(); }

QAction* TForm2::addItem(QMenu* menu, const QString& name, const QString& caption,
                         void (TForm2::*handler)()) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    if (!handler) return item;
    connect(item, &QAction::triggered, this, [this, item, handler] {
        // Qt flips a check mark before it reports the click; the handlers flip it themselves.
        if (item->isCheckable()) item->setChecked(!item->isChecked());
        handle([this, handler] { (this->*handler)(); });
    });
    return item;
}

void TForm2::buildMenu() {
    PopupMenu1 = new QMenu(this);
    // Never shown as a caption; it names the menu's window for the desktop and its tools.
    PopupMenu1->setWindowTitle(QStringLiteral("OBU menu"));
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Setup1 = PopupMenu1->addMenu(QStringLiteral("Setup"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    Extras1 = addItem(Setup1, QStringLiteral("Extras1"), QStringLiteral("Extras"), &TForm2::Extras1Click);
    Connection1 =
        addItem(Setup1, QStringLiteral("Connection1"), QStringLiteral("Connection"), &TForm2::Connection1Click);
    SetTime1 = addItem(Setup1, QStringLiteral("SetTime1"), QStringLiteral("Set Alarm"), &TForm2::SetTime1Click);
    ClearAlarmTime1 = addItem(Setup1, QStringLiteral("ClearAlarmTime1"), QStringLiteral("Clear Alarm Time"),
                              &TForm2::ClearAlarmTime1Click);
    Options1 = PopupMenu1->addMenu(QStringLiteral("Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    Sound1 = addItem(Options1, QStringLiteral("Sound1"), QStringLiteral("Sound"), &TForm2::Sound1Click);
    ConnectonStart1 = addItem(Options1, QStringLiteral("ConnectonStart1"), QStringLiteral("Connect on Start"),
                              &TForm2::ConnectonStart1Click);
    MinimizeonConnect1 = addItem(Options1, QStringLiteral("MinimizeonConnect1"),
                                 QStringLiteral("Minimize OBU on Connect"), &TForm2::MinimizeonConnect1Click);
    MinimizeDUNonConnect1 = addItem(Options1, QStringLiteral("MinimizeDUNonConnect1"),
                                    QStringLiteral("Minimize DUN on Connect"), &TForm2::MinimizeDUNonConnect1Click);
    RedialifLineisBusy1 = addItem(Options1, QStringLiteral("RedialifLineisBusy1"),
                                  QStringLiteral("Redial if Line is Busy"), &TForm2::RedialifLineisBusy1Click);
    for (QAction* option : {Sound1, ConnectonStart1, MinimizeonConnect1, MinimizeDUNonConnect1, RedialifLineisBusy1})
        option->setCheckable(true);
    Sound1->setChecked(true);
    LaunchExtras1 = addItem(PopupMenu1, QStringLiteral("LaunchExtras1"), QStringLiteral("Launch Extras"),
                            &TForm2::LaunchExtras1Click);
    DisconnectTimer1 = addItem(PopupMenu1, QStringLiteral("DisconnectTimer1"), QStringLiteral("Disconnect Timer"),
                               &TForm2::DisconnectTimer1Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    VantorStudioWebpage1 = addItem(PopupMenu1, QStringLiteral("VantorStudioWebpage1"),
                                   QStringLiteral("Vantor Studio Webpage"), &TForm2::VantorStudioWebpage1Click);
    OBUWebpage1 =
        addItem(PopupMenu1, QStringLiteral("OBUWebpage1"), QStringLiteral("OBU Webpage"), &TForm2::OBUWebpage1Click);
    Help1 = addItem(PopupMenu1, QStringLiteral("Help1"), QStringLiteral("Help"), &TForm2::Help1Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    AboutOBU1 = addItem(PopupMenu1, QStringLiteral("AboutOBU1"), QStringLiteral("About OBU"), &TForm2::AboutOBU1Click);
    HideOBU1 = addItem(PopupMenu1, QStringLiteral("HideOBU1"), QStringLiteral("Hide OBU"), &TForm2::HideOBU1Click);
    Connect1 = addItem(PopupMenu1, QStringLiteral("Connect1"), QStringLiteral("Connect"), &TForm2::Connect1Click);
    Exit1 = addItem(PopupMenu1, QStringLiteral("Exit1"), QStringLiteral("Exit"), &TForm2::Exit1Click);
}

void TForm2::Timer1Timer() {
    Hide();
    Timer1.setEnabled(false);
    TForm1* main = program().Form1;
    main->Show();
    // A line already up (found at start) is kept and watched: the command
    // would hang it up.
    if (ConnectonStart1->isChecked() && main->ReadyToConnect) main->Image10Click(main);
}

void TForm2::Connect1Click() {
    TForm1* main = program().Form1;
    main->Image10Click(main);
    // A disconnection was asked for: the button and the item show Connect again.
    if (Connect1->text() == QLatin1String("Disconnect")) {
        main->Image10->Clear();
        main->DrawConnectFace();
        Connect1->setText(QStringLiteral("Connect"));
    }
}

void TForm2::BringUpMainWindow() {
    TForm1* main = program().Form1;
    main->setWindowState(TWindowState::wsNormal);
    main->Show();
}

void TForm2::TrayIcon1Click() {
    TForm1* main = program().Form1;
    main->Show();
    main->setWindowState(TWindowState::wsNormal);
    main->BringToFront();
}

void TForm2::HideOBU1Click() {
    if (HideOBU1->text() == QLatin1String("Hide OBU")) {
        program().Form1->Hide();
        program().Form4->Hide();
        return;
    }
    BringUpMainWindow();
    HideOBU1->setText(QStringLiteral("Hide OBU"));
}

void TForm2::Connection1Click() {
    BringUpMainWindow();
    program().Form1->Image14Click(program().Form1);
}

void TForm2::SetTime1Click() {
    BringUpMainWindow();
    program().Form1->Image11Click(program().Form1);
}

void TForm2::ClearAlarmTime1Click() { program().Form1->ClearAlarm(); }

void TForm2::AboutOBU1Click() {
    BringUpMainWindow();
    program().Form1->Label22Click();
}

void TForm2::LaunchExtras1Click() { program().Form1->LaunchExtras(); }

void TForm2::Extras1Click() {
    BringUpMainWindow();
    program().Form1->Image15Click(program().Form1);
}

// The result is not shown: a page that does not open leaves nothing to report here.
void TForm2::VantorStudioWebpage1Click() {
    if (TGoToWeb* web = program().Form1->GoToWeb1.get()) {
        web->setUrl(TGoToWeb::MakerPage);
        web->Execute();
    }
}

void TForm2::OBUWebpage1Click() {
    if (TGoToWeb* web = program().Form1->GoToWeb1.get()) {
        web->setUrl(TGoToWeb::ProductPage);
        web->Execute();
    }
}

void TForm2::Help1Click() {
    Help* help = platform().help;
    if (help && help->showContents(program().application().HelpFile)) return;
    platform().dialogs->messageBox(QStringLiteral("Help File Not Found!"), program().application().Title,
                                   MsgIcon::None, MsgButtons::Ok);
}

void TForm2::DisconnectTimer1Click() { program().Form7->Show(); }

void TForm2::toggleOption(QAction* item, const QString& section, const QString& key) {
    item->setChecked(!item->isChecked());
    program().Form1->SettingsFile->WriteBool(section, key, item->isChecked());
}

void TForm2::Sound1Click() { toggleOption(Sound1, QStringLiteral("Options"), QStringLiteral("Sound")); }

void TForm2::ConnectonStart1Click() {
    toggleOption(ConnectonStart1, QStringLiteral("Connection"), QStringLiteral("AutoConnect"));
}

void TForm2::MinimizeonConnect1Click() {
    toggleOption(MinimizeonConnect1, QStringLiteral("Options"), QStringLiteral("Minimize"));
}

void TForm2::MinimizeDUNonConnect1Click() {
    toggleOption(MinimizeDUNonConnect1, QStringLiteral("Options"), QStringLiteral("Minimize Dun"));
}

// Only the check mark: the redial option reaches the file with the other settings at exit.
void TForm2::RedialifLineisBusy1Click() { RedialifLineisBusy1->setChecked(!RedialifLineisBusy1->isChecked()); }

void TForm2::Exit1Click() { Close(); }

}  // namespace obu
