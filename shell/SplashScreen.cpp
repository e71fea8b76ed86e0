#include "shell/SplashScreen.h"

#include <QGuiApplication>
#include <QScreen>

#include "connection/DisconnectTimerDialog.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "extras/ExtrasEditor.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/Platform.h"
#include "ui/JpegImage.h"

namespace obu {

SplashScreen::SplashScreen(Program& program)
    : Form(program, QStringLiteral(" "), 322, 189), Timer1(*program.platform().loop, 5000) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // The splash picture, sized to itself, under the version label.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QImage splash =
        loadJpeg(program.platform().programFolder + QStringLiteral("obu-splash.jpg"));
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

    trayIcon = std::make_unique<TrayIcon>(*program.platform().tray);
    trayIcon->setPicture(QIcon(program.platform().programFolder + QStringLiteral("obu-icon.png")));
    trayIcon->setToolTip(QStringLiteral("OBU v1.3"));
    trayIcon->setPopupMenu(PopupMenu1);
    connect(trayIcon.get(), &TrayIcon::clicked, this,
            [this] { handle([this] { TrayIcon1Click(); }); });
    trayIcon->setVisible(true);

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

SplashScreen::~SplashScreen() {
    trayIcon.reset();
}

QAction* SplashScreen::addItem(QMenu* menu, const QString& name, const QString& caption,
                               void (SplashScreen::*handler)()) {
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

void SplashScreen::buildMenu() {
    PopupMenu1 = new QMenu(this);
    // Never shown as a caption; it names the menu's window for the desktop and its tools.
    PopupMenu1->setWindowTitle(QStringLiteral("OBU menu"));
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Setup1 = PopupMenu1->addMenu(QStringLiteral("Setup"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    Extras1 = addItem(Setup1, QStringLiteral("Extras1"), QStringLiteral("Extras"),
                      &SplashScreen::Extras1Click);
    Connection1 = addItem(Setup1, QStringLiteral("Connection1"), QStringLiteral("Connection"),
                          &SplashScreen::Connection1Click);
    SetTime1 = addItem(Setup1, QStringLiteral("SetTime1"), QStringLiteral("Set Alarm"),
                       &SplashScreen::SetTime1Click);
    ClearAlarmTime1 =
        addItem(Setup1, QStringLiteral("ClearAlarmTime1"), QStringLiteral("Clear Alarm Time"),
                &SplashScreen::ClearAlarmTime1Click);
    Options1 = PopupMenu1->addMenu(QStringLiteral("Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    Sound1 = addItem(Options1, QStringLiteral("Sound1"), QStringLiteral("Sound"),
                     &SplashScreen::Sound1Click);
    ConnectonStart1 =
        addItem(Options1, QStringLiteral("ConnectonStart1"), QStringLiteral("Connect on Start"),
                &SplashScreen::ConnectonStart1Click);
    MinimizeonConnect1 =
        addItem(Options1, QStringLiteral("MinimizeonConnect1"),
                QStringLiteral("Minimize OBU on Connect"), &SplashScreen::MinimizeonConnect1Click);
    MinimizeDUNonConnect1 = addItem(Options1, QStringLiteral("MinimizeDUNonConnect1"),
                                    QStringLiteral("Minimize DUN on Connect"),
                                    &SplashScreen::MinimizeDUNonConnect1Click);
    RedialifLineisBusy1 =
        addItem(Options1, QStringLiteral("RedialifLineisBusy1"),
                QStringLiteral("Redial if Line is Busy"), &SplashScreen::RedialifLineisBusy1Click);
    for (QAction* option :
         {Sound1, ConnectonStart1, MinimizeonConnect1, MinimizeDUNonConnect1, RedialifLineisBusy1})
        option->setCheckable(true);
    Sound1->setChecked(true);
    LaunchExtras1 = addItem(PopupMenu1, QStringLiteral("LaunchExtras1"),
                            QStringLiteral("Launch Extras"), &SplashScreen::LaunchExtras1Click);
    DisconnectTimer1 =
        addItem(PopupMenu1, QStringLiteral("DisconnectTimer1"), QStringLiteral("Disconnect Timer"),
                &SplashScreen::DisconnectTimer1Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    VantorStudioWebpage1 =
        addItem(PopupMenu1, QStringLiteral("VantorStudioWebpage1"),
                QStringLiteral("Vantor Studio Webpage"), &SplashScreen::VantorStudioWebpage1Click);
    OBUWebpage1 = addItem(PopupMenu1, QStringLiteral("OBUWebpage1"), QStringLiteral("OBU Webpage"),
                          &SplashScreen::OBUWebpage1Click);
    Help1 = addItem(PopupMenu1, QStringLiteral("Help1"), QStringLiteral("Help"),
                    &SplashScreen::Help1Click);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    AboutOBU1 = addItem(PopupMenu1, QStringLiteral("AboutOBU1"), QStringLiteral("About OBU"),
                        &SplashScreen::AboutOBU1Click);
    HideOBU1 = addItem(PopupMenu1, QStringLiteral("HideOBU1"), QStringLiteral("Hide OBU"),
                       &SplashScreen::HideOBU1Click);
    Connect1 = addItem(PopupMenu1, QStringLiteral("Connect1"), QStringLiteral("Connect"),
                       &SplashScreen::Connect1Click);
    Exit1 = addItem(PopupMenu1, QStringLiteral("Exit1"), QStringLiteral("Exit"),
                    &SplashScreen::Exit1Click);
}

void SplashScreen::Timer1Timer() {
    Hide();
    Timer1.setEnabled(false);
    MainWindow* main = program().mainWindow;
    main->Show();
    // A line already up (found at start) is kept and watched: the command
    // would hang it up.
    if (ConnectonStart1->isChecked() && main->ReadyToConnect) main->Image10Click(main);
}

void SplashScreen::Connect1Click() {
    MainWindow* main = program().mainWindow;
    main->Image10Click(main);
    // A disconnection was asked for: the button and the item show Connect again.
    if (Connect1->text() == QLatin1String("Disconnect")) {
        main->Image10->Clear();
        main->DrawConnectFace();
        Connect1->setText(QStringLiteral("Connect"));
    }
}

void SplashScreen::BringUpMainWindow() {
    MainWindow* main = program().mainWindow;
    main->setWindowState(TWindowState::wsNormal);
    main->Show();
}

void SplashScreen::TrayIcon1Click() {
    MainWindow* main = program().mainWindow;
    main->Show();
    main->setWindowState(TWindowState::wsNormal);
    main->BringToFront();
}

void SplashScreen::HideOBU1Click() {
    if (HideOBU1->text() == QLatin1String("Hide OBU")) {
        program().mainWindow->Hide();
        program().extrasEditor->Hide();
        return;
    }
    BringUpMainWindow();
    HideOBU1->setText(QStringLiteral("Hide OBU"));
}

void SplashScreen::Connection1Click() {
    BringUpMainWindow();
    program().mainWindow->Image14Click(program().mainWindow);
}

void SplashScreen::SetTime1Click() {
    BringUpMainWindow();
    program().mainWindow->Image11Click(program().mainWindow);
}

void SplashScreen::ClearAlarmTime1Click() {
    program().mainWindow->ClearAlarm();
}

void SplashScreen::AboutOBU1Click() {
    BringUpMainWindow();
    program().mainWindow->Label22Click();
}

void SplashScreen::LaunchExtras1Click() {
    program().mainWindow->LaunchExtras();
}

void SplashScreen::Extras1Click() {
    BringUpMainWindow();
    program().mainWindow->Image15Click(program().mainWindow);
}

// The result is not shown: a page that does not open leaves nothing to report here.
void SplashScreen::VantorStudioWebpage1Click() {
    if (WebPageOpener* web = program().mainWindow->GoToWeb1.get()) {
        web->setUrl(WebPageOpener::MakerPage);
        web->Execute();
    }
}

void SplashScreen::OBUWebpage1Click() {
    if (WebPageOpener* web = program().mainWindow->GoToWeb1.get()) {
        web->setUrl(WebPageOpener::ProductPage);
        web->Execute();
    }
}

void SplashScreen::Help1Click() {
    Help* help = platform().help;
    if (help && help->showContents(program().application().HelpFile)) return;
    platform().dialogs->messageBox(QStringLiteral("Help File Not Found!"),
                                   program().application().Title, MsgIcon::None, MsgButtons::Ok);
}

void SplashScreen::DisconnectTimer1Click() {
    program().disconnectTimerDialog->Show();
}

void SplashScreen::toggleOption(QAction* item, Setting setting) {
    item->setChecked(!item->isChecked());
    program().mainWindow->settings->setFlag(setting, item->isChecked());
}

void SplashScreen::Sound1Click() {
    toggleOption(Sound1, Setting::Sound);
}

void SplashScreen::ConnectonStart1Click() {
    toggleOption(ConnectonStart1, Setting::ConnectOnStart);
}

void SplashScreen::MinimizeonConnect1Click() {
    toggleOption(MinimizeonConnect1, Setting::MinimizeOnConnect);
}

void SplashScreen::MinimizeDUNonConnect1Click() {
    toggleOption(MinimizeDUNonConnect1, Setting::MinimizeDialUpWindow);
}

// Only the check mark: the redial option reaches the file with the other settings at exit.
void SplashScreen::RedialifLineisBusy1Click() {
    RedialifLineisBusy1->setChecked(!RedialifLineisBusy1->isChecked());
}

void SplashScreen::Exit1Click() {
    Close();
}

}  // namespace obu
