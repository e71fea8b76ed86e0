#include "gui/main/MainWindow.h"
#include "gui/skin/TransparentLabel.h"

#include "gui/program/ProgramModel.h"
#include "gui/shell/SplashScreen.h"
#include "gui/shell/TrayMenu.h"
#include "model/AlarmDial.h"
#include "model/LineKeeper.h"
#include "platform/Platform.h"
#include "platform/PrintableText.h"

namespace obu {

MainWindow::MainWindow(ProgramModel& program)
    : Form(program, QStringLiteral("Obu Linekeeper v1.3"), 452 - kFrameWidth, 243 - kFrameHeight),
      m_alarmClock(program.alarmClock()),
      m_extras(program.extras()),
      m_lightFaces(QStringLiteral("lightFaces"), QSize(18, 18)),
      m_connectFaces(QStringLiteral("connectFaces"), QSize(163, 31), QStringLiteral("Connect")),
      m_alarmFaces(QStringLiteral("alarmFaces"), QSize(163, 31), QStringLiteral("Set Alarm")),
      m_exitFaces(QStringLiteral("exitFaces"), QSize(82, 29), QStringLiteral("Exit")),
      m_connectionFaces(QStringLiteral("connectionFaces"), QSize(163, 31),
                        QStringLiteral("Connection")),
      m_extrasFaces(QStringLiteral("extrasFaces"), QSize(163, 31), QStringLiteral("Extras")),
      m_disconnectFaces(QStringLiteral("disconnectFaces"), QSize(163, 31),
                        QStringLiteral("Disconnect")),
      m_quotationSteps(*program.platform().loop, 1000),
      m_dialUpWindowMinimizer(*this, program.lineKeeper()),
      m_keeper(program.lineKeeper()),
      m_settings(program.settings()),
      m_log(program.eventLog()),
      m_options(program.options()) {
    // A fixed border with a system menu and a minimize box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    // Arial 11 pixels for the window; labels without a font of their own take it.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    buildSkin();
    buildControls();
    showLineKeeper();
    // The alarm dials by itself; the window comes forward for it.
    connect(&program.alarmDial(), &AlarmDial::attentionWanted, this, [this] {
        showWindow();
        setShowState(ShowState::Normal);
    });
    connect(&m_extras, &Extras::launching, this,
            [this](const QString& text) { m_statusLine->setText(printableText(text)); });
    connect(&m_extras, &Extras::launched, this, &MainWindow::onExtrasLaunched);
    startUp();
    buildPresentation();
}

MainWindow::~MainWindow() {
    shutDown();
}

void MainWindow::setOuterWidth(int outerWidth) {
    m_outerWidth = outerWidth;
    setFixedWidth(outerWidth - kFrameWidth);
}

void MainWindow::setOuterSize(int outerWidth, int outerHeight) {
    m_outerWidth = outerWidth;
    m_outerHeight = outerHeight;
    setFixedSize(outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

void MainWindow::buildSkin() {
    const QString folder = platform().programFolder;
    m_lightFaces.loadStrip(folder + QStringLiteral("lights.png"));
    m_connectFaces.loadStrip(folder + QStringLiteral("face-connect.png"));
    m_alarmFaces.loadStrip(folder + QStringLiteral("face-alarm.png"));
    m_exitFaces.loadStrip(folder + QStringLiteral("face-exit.png"));
    m_connectionFaces.loadStrip(folder + QStringLiteral("face-connection.png"));
    m_extrasFaces.loadStrip(folder + QStringLiteral("face-extras.png"));
    m_disconnectFaces.loadStrip(folder + QStringLiteral("face-disconnect.png"));

    m_background = new SkinImage(this, QStringLiteral("background"), 0, 0, 600, 216);
    m_connectionButton = new SkinImage(this, QStringLiteral("connectionButton"), 7, 63, 163, 31);
    m_alarmButton = new SkinImage(this, QStringLiteral("alarmButton"), 7, 93, 163, 31);
    m_extrasButton = new SkinImage(this, QStringLiteral("extrasButton"), 7, 122, 163, 31);
    m_connectButton = new SkinImage(this, QStringLiteral("connectButton"), 7, 152, 163, 31);
    m_exitButton = new SkinImage(this, QStringLiteral("exitButton"), 346, 184, 82, 29);
    // Tab goes down the column, then to Exit.
    m_connectionButton->makeButton(QStringLiteral("Connection"));
    m_alarmButton->makeButton(QStringLiteral("Set Alarm"));
    m_extrasButton->makeButton(QStringLiteral("Extras"));
    m_connectButton->makeButton(QStringLiteral("Connect"));
    m_exitButton->makeButton(QStringLiteral("Exit"));
    for (SkinImage* button : {m_connectionButton, m_alarmButton, m_extrasButton, m_connectButton})
        button->setCursor(Qt::PointingHandCursor);

    m_connectButton->onMouseDown = [this](Qt::MouseButton b) {
        handle([=, this] { pressConnectButton(b); });
    };
    m_connectButton->onClick = [this] { handle([this] { m_keeper.toggleConnection(); }); };
    m_connectButton->onMouseUp = [this](Qt::MouseButton b) {
        handle([=, this] { releaseConnectButton(b); });
    };
    const std::pair<SkinImage*, ImageList*> plainButtons[] = {
        {m_alarmButton, &m_alarmFaces},
        {m_exitButton, &m_exitFaces},
        {m_connectionButton, &m_connectionFaces},
        {m_extrasButton, &m_extrasFaces}};
    for (const auto& plain : plainButtons) {
        // Plain copies: a lambda may not capture a structured binding under
        // every compiler that checks this code.
        SkinImage* const button = plain.first;
        ImageList* const list = plain.second;
        button->onMouseDown = [this, button, list](Qt::MouseButton) {
            handle([=, this] { pressSkinButton(button, *list); });
        };
        button->onMouseUp = [this, button, list](Qt::MouseButton) {
            handle([=, this] { releaseSkinButton(button, *list); });
        };
    }
    m_alarmButton->onClick = [this] { handle([this] { m_settingsPanel->openAlarmPage(); }); };
    m_connectionButton->onClick = [this] {
        handle([this] { m_settingsPanel->openConnectionPage(); });
    };
    m_exitButton->onClick = [this] { handle([this] { emit exitWanted(); }); };
    m_extrasButton->onClick = [this] { handle([this] { emit extrasEditorWanted(); }); };
}

void MainWindow::showLineKeeper() {
    // The status line names entries, which may come from NetworkManager or a
    // phone book of any origin: shown as plain text, their control characters escaped.
    m_statusLine->setTextFormat(Qt::PlainText);
    connect(&m_keeper, &LineKeeper::statusChanged, m_statusLine,
            [this](const QString& text) { m_statusLine->setText(printableText(text)); });
    connect(&m_keeper, &LineKeeper::connectFaceChanged, this, &MainWindow::showConnectFace);
    connect(&m_keeper, &LineKeeper::connectCommandEnabled, m_connectButton, &QWidget::setEnabled);
    connect(&m_keeper, &LineKeeper::reconnectOffered, this, &MainWindow::bringForward);
    connect(&m_keeper, &LineKeeper::disconnectWarningStarted, this, &MainWindow::bringForward);
    connect(&m_keeper, &LineKeeper::entryWanted, m_settingsPanel,
            &SettingsPanel::openConnectionPage);
    connect(&m_keeper, &LineKeeper::connected, this, &MainWindow::onLineUp);
    connect(&m_keeper, &LineKeeper::entryListChanged, m_settingsPanel,
            &SettingsPanel::showEntryList);
}

// The extras have started already (model/ExtrasOnConnect).
void MainWindow::onLineUp() {
    if (m_options.isOn(UserOptions::Option::MinimizeDialUpWindow)) m_dialUpWindowMinimizer.start();
}

void MainWindow::setCommandsEnabled(bool enabled) {
    m_middlePanel->setArrowsEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{m_connectButton, m_alarmButton,
                                                      m_connectionButton, m_extrasButton})
        w->setEnabled(enabled);
    emit commandsEnabledChanged(enabled);
    m_exitButton->setEnabled(true);
}

void MainWindow::launchExtras() {
    m_extras.launch(m_log);
}

// Whoever asked for the extras, the window goes to the tray once they are started.
void MainWindow::onExtrasLaunched() {
    if (m_options.isOn(UserOptions::Option::MinimizeOnConnect)) setShowState(ShowState::Minimized);
}

void MainWindow::bringForward() {
    setShowState(ShowState::Normal);
    showWindow();
    bringToFront();
}

void MainWindow::showConnectFace(bool lineFree) {
    m_connectButton->setAccessibleName(lineFree ? QStringLiteral("Connect")
                                                : QStringLiteral("Disconnect"));
    m_connectButton->drawFace(lineFree ? m_connectFaces : m_disconnectFaces, 0);
}

void MainWindow::pressConnectButton(Qt::MouseButton) {
    playUiSound(QStringLiteral("obubtnd.okx"));
    m_connectButton->drawFace(m_keeper.readyToConnect() ? m_connectFaces : m_disconnectFaces, 1);
}

void MainWindow::releaseConnectButton(Qt::MouseButton) {
    playUiSound(QStringLiteral("obubtnu.okx"));
    m_keeper.showLineState();
}

void MainWindow::buildControls() {
    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        return transparentLabel(this, name, text, x, y, w, h);
    };
    auto narrow = [](int pixels, bool bold) {
        QFont font(QStringLiteral("Arial Narrow"));
        font.setPixelSize(pixels);
        font.setBold(bold);
        return font;
    };
    m_middlePanel = new MiddlePanel(*this, m_extras, m_alarmClock, m_lightFaces);
    m_quotation = label(QStringLiteral("quotation"), QString(), 0, 0, 180, 80);
    m_quotation->setFont(narrow(12, false));
    m_quotation->setWordWrap(true);
    m_quotation->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_quotation->hide();
    m_statusCaption =
        label(QStringLiteral("statusCaption"), QStringLiteral("Status:"), 8, 192, 40, 15);
    m_statusLine = label(QStringLiteral("statusLine"), QString(), 50, 192, 290, 15);

    m_settingsPanel = new SettingsPanel(*this, *this, m_lightFaces);
    m_background->lower();
    connect(m_settingsPanel, &SettingsPanel::commandsEnabledChanged, this,
            &MainWindow::setCommandsEnabled);
    connect(m_settingsPanel, &SettingsPanel::panelItemsEnabledChanged, this,
            &MainWindow::panelItemsEnabledChanged);
    connect(m_settingsPanel, &SettingsPanel::entryChosen, m_middlePanel,
            &MiddlePanel::showEntryName);
    connect(m_settingsPanel, &SettingsPanel::creditsWanted, this, &MainWindow::creditsWanted);
}

}  // namespace obu
