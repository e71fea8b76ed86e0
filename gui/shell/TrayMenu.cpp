#include "gui/shell/TrayMenu.h"

#include "gui/program/ProgramModel.h"
#include "model/LineKeeper.h"
#include "model/WebPageOpener.h"
#include "platform/Dialogs.h"
#include "platform/Dispatcher.h"
#include "platform/Help.h"
#include "platform/Platform.h"

namespace obu {

TrayMenu::TrayMenu(ProgramModel& program, QWidget* owner)
    : m_program(program), m_platform(program.platform()) {
    buildMenu(owner);
    trayIcon = std::make_unique<TrayIcon>(*m_platform.tray);
    trayIcon->setPicture(QIcon(m_platform.programFolder + QStringLiteral("obu-icon.png")));
    trayIcon->setToolTip(QStringLiteral("OBU v1.3"));
    trayIcon->setPopupMenu(menu);
    connect(trayIcon.get(), &TrayIcon::clicked, this,
            [this] { m_platform.dispatcher->run([this] { emit mainWindowWanted(); }); });
    trayIcon->setVisible(true);
}

TrayMenu::~TrayMenu() {
    trayIcon.reset();
}

QAction* TrayMenu::addItem(QMenu* to, const QString& caption, std::function<void()> handler) {
    QAction* item = to->addAction(caption);
    connect(item, &QAction::triggered, this, [this, item, handler = std::move(handler)] {
        // Qt flips a check mark before it reports the click; the handlers flip it themselves.
        if (item->isCheckable()) item->setChecked(!item->isChecked());
        m_platform.dispatcher->run(handler);
    });
    return item;
}

QAction* TrayMenu::addOption(const QString& caption, UserOptions::Option option) {
    UserOptions& options = m_program.options();
    QAction* item = addItem(optionsMenu, caption, [&options, option] { options.toggle(option); });
    item->setCheckable(true);
    item->setChecked(options.isOn(option));
    return item;
}

QAction* TrayMenu::optionItem(UserOptions::Option option) const {
    switch (option) {
        case UserOptions::Option::Sound:
            return soundOption;
        case UserOptions::Option::ConnectOnStart:
            return connectOnStartOption;
        case UserOptions::Option::MinimizeOnConnect:
            return minimizeOnConnectOption;
        case UserOptions::Option::MinimizeDialUpWindow:
            return minimizeDialUpOption;
        case UserOptions::Option::RedialIfBusy:
            return redialIfBusyOption;
    }
    return nullptr;
}

void TrayMenu::buildMenu(QWidget* owner) {
    menu = new QMenu(owner);
    // Never shown as a caption; it names the menu's window for the desktop and its tools.
    menu->setWindowTitle(QStringLiteral("OBU menu"));
    setupMenu = menu->addMenu(QStringLiteral("Setup"));
    extrasItem =
        addItem(setupMenu, QStringLiteral("Extras"), [this] { emit extrasEditorWanted(); });
    connectionItem =
        addItem(setupMenu, QStringLiteral("Connection"), [this] { emit connectionPageWanted(); });
    setAlarmItem =
        addItem(setupMenu, QStringLiteral("Set Alarm"), [this] { emit alarmPageWanted(); });
    clearAlarmItem = addItem(setupMenu, QStringLiteral("Clear Alarm Time"),
                             [this] { m_program.alarmClock().clear(); });
    optionsMenu = menu->addMenu(QStringLiteral("Options"));
    soundOption = addOption(QStringLiteral("Sound"), UserOptions::Option::Sound);
    connectOnStartOption =
        addOption(QStringLiteral("Connect on Start"), UserOptions::Option::ConnectOnStart);
    minimizeOnConnectOption = addOption(QStringLiteral("Minimize OBU on Connect"),
                                        UserOptions::Option::MinimizeOnConnect);
    minimizeDialUpOption = addOption(QStringLiteral("Minimize DUN on Connect"),
                                     UserOptions::Option::MinimizeDialUpWindow);
    redialIfBusyOption =
        addOption(QStringLiteral("Redial if Line is Busy"), UserOptions::Option::RedialIfBusy);
    connect(&m_program.options(), &UserOptions::changed, this,
            [this](UserOptions::Option option, bool on) { optionItem(option)->setChecked(on); });
    launchExtrasItem =
        addItem(menu, QStringLiteral("Launch Extras"), [this] { emit extrasLaunchWanted(); });
    disconnectTimerItem =
        addItem(menu, QStringLiteral("Disconnect Timer"), [this] { emit disconnectTimerWanted(); });
    menu->addSeparator();
    studioPageItem = addItem(menu, QStringLiteral("Vantor Studio Webpage"),
                             [this] { emit webPageWanted(WebPageOpener::MakerPage); });
    obuPageItem = addItem(menu, QStringLiteral("OBU Webpage"),
                          [this] { emit webPageWanted(WebPageOpener::ProductPage); });
    helpItem = addItem(menu, QStringLiteral("Help"), [this] { openHelp(); });
    menu->addSeparator();
    aboutItem = addItem(menu, QStringLiteral("About OBU"), [this] { emit aboutWanted(); });
    hideShowItem = addItem(menu, QStringLiteral("Hide OBU"), [this] { hideOrShowMainWindow(); });
    connectItem = addItem(menu, QStringLiteral("Connect"), [this] { connectOrDisconnect(); });
    exitItem = addItem(menu, QStringLiteral("Exit"), [this] { emit exitWanted(); });
}

void TrayMenu::connectOrDisconnect() {
    LineKeeper& keeper = m_program.lineKeeper();
    keeper.toggleConnection();
    // A disconnection was asked for: the button and the item show Connect again.
    if (connectItem->text() == QLatin1String("Disconnect")) keeper.showLineFree();
}

void TrayMenu::showConnectItem(bool lineFree) {
    connectItem->setText(lineFree ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
}

void TrayMenu::enableConnectItem(bool enabled) {
    connectItem->setEnabled(enabled);
}

void TrayMenu::enablePanelItems(bool enabled) {
    setAlarmItem->setEnabled(enabled);
    connectionItem->setEnabled(enabled);
}

void TrayMenu::showHideShowItem(bool windowShown) {
    hideShowItem->setText(windowShown ? QStringLiteral("Hide OBU") : QStringLiteral("Show OBU"));
}

void TrayMenu::popUpAt(const QPoint& where) {
    menu->popup(where);
}

void TrayMenu::hideOrShowMainWindow() {
    if (hideShowItem->text() == QLatin1String("Hide OBU")) {
        emit hideWanted();
        return;
    }
    emit showWanted();
    hideShowItem->setText(QStringLiteral("Hide OBU"));
}

void TrayMenu::openHelp() {
    Help* help = m_platform.help;
    if (help && help->showContents(m_program.application().helpFile)) return;
    m_platform.dialogs->messageBox(QStringLiteral("Help File Not Found!"),
                                   m_program.application().title, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace obu
