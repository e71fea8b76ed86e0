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
    m_trayIcon = std::make_unique<TrayIcon>(*m_platform.tray);
    m_trayIcon->setPicture(QIcon(m_platform.programFolder + QStringLiteral("obu-icon.png")));
    m_trayIcon->setToolTip(QStringLiteral("OBU v1.3"));
    m_trayIcon->setPopupMenu(m_menu);
    connect(m_trayIcon.get(), &TrayIcon::clicked, this,
            [this] { m_platform.dispatcher->run([this] { emit mainWindowWanted(); }); });
    m_trayIcon->setVisible(true);
}

TrayMenu::~TrayMenu() {
    m_trayIcon.reset();
}

QAction* TrayMenu::addItem(QMenu* to, const QString& name, const QString& caption,
                           std::function<void()> handler) {
    QAction* item = to->addAction(caption);
    item->setObjectName(name);
    connect(item, &QAction::triggered, this, [this, item, handler = std::move(handler)] {
        // Qt flips a check mark before it reports the click; the handlers flip it themselves.
        if (item->isCheckable()) item->setChecked(!item->isChecked());
        m_platform.dispatcher->run(handler);
    });
    return item;
}

QAction* TrayMenu::addOption(const QString& name, const QString& caption,
                             UserOptions::Option option) {
    UserOptions& options = m_program.options();
    QAction* item =
        addItem(m_optionsMenu, name, caption, [&options, option] { options.toggle(option); });
    item->setCheckable(true);
    item->setChecked(options.isOn(option));
    return item;
}

QAction* TrayMenu::optionItem(UserOptions::Option option) const {
    switch (option) {
        case UserOptions::Option::Sound:
            return m_soundOption;
        case UserOptions::Option::ConnectOnStart:
            return m_connectOnStartOption;
        case UserOptions::Option::MinimizeOnConnect:
            return m_minimizeOnConnectOption;
        case UserOptions::Option::MinimizeDialUpWindow:
            return m_minimizeDialUpOption;
        case UserOptions::Option::RedialIfBusy:
            return m_redialIfBusyOption;
    }
    return nullptr;
}

void TrayMenu::buildMenu(QWidget* owner) {
    m_menu = new QMenu(owner);
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    // Never shown as a caption; it names the menu's window for the desktop and its tools.
    m_menu->setWindowTitle(QStringLiteral("OBU menu"));
    m_setupMenu = m_menu->addMenu(QStringLiteral("Setup"));
    m_setupMenu->setObjectName(QStringLiteral("setupMenu"));
    m_extrasItem = addItem(m_setupMenu, QStringLiteral("extrasItem"), QStringLiteral("Extras"),
                           [this] { emit extrasEditorWanted(); });
    m_connectionItem =
        addItem(m_setupMenu, QStringLiteral("connectionItem"), QStringLiteral("Connection"),
                [this] { emit connectionPageWanted(); });
    m_setAlarmItem = addItem(m_setupMenu, QStringLiteral("setAlarmItem"),
                             QStringLiteral("Set Alarm"), [this] { emit alarmPageWanted(); });
    m_clearAlarmItem =
        addItem(m_setupMenu, QStringLiteral("clearAlarmItem"), QStringLiteral("Clear Alarm Time"),
                [this] { m_program.alarmClock().clear(); });
    m_optionsMenu = m_menu->addMenu(QStringLiteral("Options"));
    m_optionsMenu->setObjectName(QStringLiteral("optionsMenu"));
    m_soundOption = addOption(QStringLiteral("soundOption"), QStringLiteral("Sound"),
                              UserOptions::Option::Sound);
    m_connectOnStartOption =
        addOption(QStringLiteral("connectOnStartOption"), QStringLiteral("Connect on Start"),
                  UserOptions::Option::ConnectOnStart);
    m_minimizeOnConnectOption = addOption(QStringLiteral("minimizeOnConnectOption"),
                                          QStringLiteral("Minimize OBU on Connect"),
                                          UserOptions::Option::MinimizeOnConnect);
    m_minimizeDialUpOption =
        addOption(QStringLiteral("minimizeDialUpOption"), QStringLiteral("Minimize DUN on Connect"),
                  UserOptions::Option::MinimizeDialUpWindow);
    m_redialIfBusyOption =
        addOption(QStringLiteral("redialIfBusyOption"), QStringLiteral("Redial if Line is Busy"),
                  UserOptions::Option::RedialIfBusy);
    connect(&m_program.options(), &UserOptions::changed, this,
            [this](UserOptions::Option option, bool on) { optionItem(option)->setChecked(on); });
    m_launchExtrasItem =
        addItem(m_menu, QStringLiteral("launchExtrasItem"), QStringLiteral("Launch Extras"),
                [this] { emit extrasLaunchWanted(); });
    m_disconnectTimerItem =
        addItem(m_menu, QStringLiteral("disconnectTimerItem"), QStringLiteral("Disconnect Timer"),
                [this] { emit disconnectTimerWanted(); });
    m_menu->addSeparator();
    m_studioPageItem =
        addItem(m_menu, QStringLiteral("studioPageItem"), QStringLiteral("Vantor Studio Webpage"),
                [this] { emit webPageWanted(WebPageOpener::MakerPage); });
    m_obuPageItem = addItem(m_menu, QStringLiteral("obuPageItem"), QStringLiteral("OBU Webpage"),
                            [this] { emit webPageWanted(WebPageOpener::ProductPage); });
    m_helpItem =
        addItem(m_menu, QStringLiteral("helpItem"), QStringLiteral("Help"), [this] { openHelp(); });
    m_menu->addSeparator();
    m_aboutItem = addItem(m_menu, QStringLiteral("aboutItem"), QStringLiteral("About OBU"),
                          [this] { emit aboutWanted(); });
    m_hideShowItem = addItem(m_menu, QStringLiteral("hideShowItem"), QStringLiteral("Hide OBU"),
                             [this] { hideOrShowMainWindow(); });
    m_connectItem = addItem(m_menu, QStringLiteral("connectItem"), QStringLiteral("Connect"),
                            [this] { connectOrDisconnect(); });
    m_exitItem = addItem(m_menu, QStringLiteral("exitItem"), QStringLiteral("Exit"),
                         [this] { emit exitWanted(); });
}

void TrayMenu::connectOrDisconnect() {
    LineKeeper& keeper = m_program.lineKeeper();
    keeper.toggleConnection();
    // A disconnection was asked for: the button and the item show Connect again.
    if (m_connectItem->text() == QLatin1String("Disconnect")) keeper.showLineFree();
}

void TrayMenu::showConnectItem(bool lineFree) {
    m_connectItem->setText(lineFree ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
}

void TrayMenu::enableConnectItem(bool enabled) {
    m_connectItem->setEnabled(enabled);
}

void TrayMenu::enablePanelItems(bool enabled) {
    m_setAlarmItem->setEnabled(enabled);
    m_connectionItem->setEnabled(enabled);
}

void TrayMenu::showHideShowItem(bool windowShown) {
    m_hideShowItem->setText(windowShown ? QStringLiteral("Hide OBU") : QStringLiteral("Show OBU"));
}

void TrayMenu::popUpAt(const QPoint& where) {
    m_menu->popup(where);
}

void TrayMenu::hideOrShowMainWindow() {
    if (m_hideShowItem->text() == QLatin1String("Hide OBU")) {
        emit hideWanted();
        return;
    }
    emit showWanted();
    m_hideShowItem->setText(QStringLiteral("Hide OBU"));
}

void TrayMenu::openHelp() {
    Help* help = m_platform.help;
    if (help && help->showContents(m_program.application().helpFile)) return;
    m_platform.dialogs->messageBox(QStringLiteral("Help File Not Found!"),
                                   m_program.application().title, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace obu
