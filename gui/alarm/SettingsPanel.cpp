#include "gui/alarm/SettingsPanel.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimeEdit>

#include "gui/alarm/SectionTyping.h"
#include "gui/program/ProgramModel.h"
#include "gui/skin/Form.h"
#include "gui/skin/ImageList.h"
#include "gui/skin/SkinImage.h"
#include "gui/skin/SkinPicture.h"
#include "model/LineKeeper.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"
#include "platform/WindowTimer.h"

namespace obu {
namespace {

constexpr int kClosedWidth = 452;
constexpr int kOpenWidth = 608;

// Qt's picture letters for one of the program's date or time pictures.
QString qtPicture(QString windowsPicture) {
    return windowsPicture.replace(QLatin1String("tt"), QLatin1String("AP"));
}

}  // namespace

SettingsPanel::SettingsPanel(Form& window, PanelHost& host, const ImageList& lightFaces)
    : QObject(&window), m_window(window), m_host(host), m_lightFaces(lightFaces) {
    buildConnectionPage();
    buildAlarmPage();
    buildButtons();
}

SettingsPanel::~SettingsPanel() = default;

void SettingsPanel::buildConnectionPage() {
    m_entryList = new QListWidget(&m_window);
    m_entryList->setObjectName(QStringLiteral("entryList"));
    m_entryList->setAccessibleName(QStringLiteral("Dial-up entry"));
    m_entryList->setGeometry(470, 40, 97, 28);
    m_entryList->hide();
    m_userNameEdit = new QLineEdit(&m_window);
    m_userNameEdit->setObjectName(QStringLiteral("userNameEdit"));
    m_userNameEdit->setAccessibleName(QStringLiteral("User name"));
    m_userNameEdit->setGeometry(470, 93, 97, 20);
    m_userNameEdit->hide();
    m_passwordEdit = new QLineEdit(&m_window);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setAccessibleName(QStringLiteral("Password"));
    m_passwordEdit->setGeometry(470, 136, 97, 20);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // '*'
    m_passwordEdit->hide();
    connect(m_entryList, &QListWidget::itemClicked, this,
            [this] { m_window.handle([this] { fillInEntryCredentials(); }); });
}

void SettingsPanel::buildAlarmPage() {
    QWidget* const window = &m_window;
    const Platform& p = m_window.platform();
    m_alarmPagePicture = new SkinImage(window, QStringLiteral("alarmPagePicture"), 472, 24, 91, 75);
    m_alarmPagePicture->setPicture(
        loadSkinPicture(p.programFolder + QStringLiteral("page-alarm.png")));
    m_alarmTimeEdit = new SectionTyping<QTimeEdit>(window);
    m_alarmTimeEdit->setObjectName(QStringLiteral("alarmTimeEdit"));
    m_alarmTimeEdit->setAccessibleName(QStringLiteral("Alarm time"));
    m_alarmTimeEdit->setGeometry(470, 50, 97, 20);
    m_alarmTimeEdit->setDisplayFormat(qtPicture(p.formats->timePicture()));
    m_alarmDateEdit = new SectionTyping<QDateEdit>(window);
    m_alarmDateEdit->setObjectName(QStringLiteral("alarmDateEdit"));
    m_alarmDateEdit->setAccessibleName(QStringLiteral("One-time date"));
    m_alarmDateEdit->setGeometry(470, 99, 97, 20);
    m_alarmDateEdit->setDisplayFormat(qtPicture(p.formats->datePicture()));
    m_alarmDateEdit->setCalendarPopup(false);  // up/down arrows
    m_makeDailySwitch = new SkinImage(window, QStringLiteral("makeDailySwitch"), 472, 136, 18, 18);
    m_makeDailySwitch->makeButton(QStringLiteral("Make Daily"));
    m_makeDailyLabel = new QLabel(QStringLiteral("Make Daily"), window);
    m_makeDailyLabel->setObjectName(QStringLiteral("makeDailyLabel"));
    m_makeDailyLabel->setGeometry(502, 138, 90, 15);
}

void SettingsPanel::buildButtons() {
    QWidget* const window = &m_window;
    const QString folder = m_window.platform().programFolder;
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(9);

    m_connectionPagePicture =
        new SkinImage(window, QStringLiteral("connectionPagePicture"), 472, 16, 91, 121);
    m_connectionPagePicture->setPicture(
        loadSkinPicture(folder + QStringLiteral("page-connection.png")));
    m_okButton = new SkinImage(window, QStringLiteral("panelOkButton"), 480, 168, 16, 13);
    m_okButton->setPicture(loadSkinPicture(folder + QStringLiteral("ok.png")));
    m_okButton->setCursor(Qt::PointingHandCursor);
    m_okButton->makeButton(QStringLiteral("OK"));
    m_cancelButton = new SkinImage(window, QStringLiteral("panelCancelButton"), 518, 168, 40, 13);
    m_cancelButton->setPicture(loadSkinPicture(folder + QStringLiteral("cancel.png")));
    m_cancelButton->setCursor(Qt::PointingHandCursor);
    m_cancelButton->makeButton(QStringLiteral("Cancel"));
    for (QWidget* w : std::initializer_list<QWidget*>{m_alarmDateEdit, m_alarmTimeEdit, m_entryList,
                                                      m_userNameEdit, m_passwordEdit})
        w->setFont(small);
    // A list 28 pixels high has no room for a horizontal scroll bar.
    m_entryList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_alarmPagePicture, m_alarmTimeEdit, m_alarmDateEdit, m_makeDailySwitch,
             m_makeDailyLabel, m_connectionPagePicture, m_okButton, m_cancelButton})
        w->hide();
    // The page pictures lie under the controls of their page.
    m_alarmPagePicture->lower();
    m_connectionPagePicture->lower();

    m_makeDailySwitch->onClick = [this] { m_window.handle([this] { toggleMakeDaily(); }); };
    m_okButton->onClick = [this] { m_window.handle([this] { accept(); }); };
    m_cancelButton->onClick = [this] { m_window.handle([this] { close(); }); };
    // While a page is open, Enter is its OK and Escape its Cancel.
    m_window.answerEnterAndEscape(
        [this] {
            if (!m_okButton->isVisible()) return false;
            accept();
            return true;
        },
        [this] {
            if (!m_cancelButton->isVisible()) return false;
            close();
            return true;
        });
    // The press effect: one pixel right and down while the button is held.
    for (SkinImage* button : {m_okButton, m_cancelButton}) {
        button->onMouseDown = [button](Qt::MouseButton) {
            button->move(button->pos() + QPoint(1, 1));
        };
        button->onMouseUp = [button](Qt::MouseButton) {
            button->move(button->pos() - QPoint(1, 1));
        };
    }

    // A pixel a millisecond.
    m_slideTimer = std::make_unique<WindowTimer>(*m_window.platform().loop, 1, false,
                                                 WindowTimer::Grain::Fine);
    m_slideTimer->setOnTimer([this] { slideStep(); });
}

void SettingsPanel::showEntryList(const QStringList& entries) {
    const QListWidgetItem* current = m_entryList->currentItem();
    const QString selected = current ? current->text() : QString();
    m_entryList->clear();
    m_entryList->addItems(entries);
    const auto matches =
        m_entryList->findItems(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!selected.isEmpty() && !matches.isEmpty()) m_entryList->setCurrentItem(matches.first());
}

void SettingsPanel::clearCredentials() {
    m_userNameEdit->clear();
    m_passwordEdit->clear();
}

bool SettingsPanel::holdsFocus(const QWidget* focus) const {
    for (const QWidget* editor : std::initializer_list<const QWidget*>{
             m_userNameEdit, m_passwordEdit, m_entryList, m_alarmDateEdit, m_alarmTimeEdit})
        if (focus == editor || editor->isAncestorOf(focus)) return true;
    return false;
}

void SettingsPanel::openAlarmPage() {
    Platform& p = m_window.platform();
    AlarmClock& alarmClock = m_window.program().alarmClock();
    if (m_window.program().lineKeeper().entryName().isEmpty()) {
        if (p.dialogs->messageBox(
                QStringLiteral("Please choose a Connection before setting the Alarm."),
                QStringLiteral("No Connection Set"), MsgIcon::Error,
                MsgButtons::Ok) == MsgResult::Ok)
            openConnectionPage();
        return;
    }
    const QDateTime now = p.clock->now();
    m_alarmDateEdit->setDate(now.date());
    m_alarmTimeEdit->setTime(now.time());
    emit commandsEnabledChanged(false);
    const QString alarmTime = alarmClock.time();
    if (!alarmTime.isEmpty()) {
        // A stored text that no longer reads back (the formats changed, or it
        // was edited by hand) leaves today's date and the current time in the
        // pickers rather than keeping the page from opening.
        if (alarmClock.isDaily()) {
            m_alarmDateEdit->setEnabled(false);
            if (const auto time = p.formats->parseTime(alarmTime)) m_alarmTimeEdit->setTime(*time);
        } else {
            m_alarmDateEdit->setEnabled(true);
            if (const auto moment = p.formats->parseDateTime(alarmTime)) {
                m_alarmDateEdit->setDate(moment->date());
                m_alarmTimeEdit->setTime(moment->time());
            }
        }
    }
    m_showsAlarm = true;
    m_slideTimer->setEnabled(true);
}

void SettingsPanel::openConnectionPage() {
    const LineKeeper& keeper = m_window.program().lineKeeper();
    emit commandsEnabledChanged(false);
    m_showsAlarm = false;
    m_slideTimer->setEnabled(true);
    if (!keeper.entryName().isEmpty()) {
        const auto matches =
            m_entryList->findItems(keeper.entryName(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!matches.isEmpty()) m_entryList->setCurrentItem(matches.first());
        m_userNameEdit->setText(keeper.userName());
        m_passwordEdit->setText(keeper.password());
    }
}

void SettingsPanel::slideStep() {
    emit panelItemsEnabledChanged(false);
    if (m_host.outerWidth() < kOpenWidth) {
        m_host.setOuterWidth(m_host.outerWidth() + 1);
        m_window.repaint();
        return;
    }
    showPage();
    m_slideTimer->setEnabled(false);
}

void SettingsPanel::showPage() {
    if (m_showsAlarm) {
        m_makeDailySwitch->drawFace(m_lightFaces, 0);
        m_okButton->setEnabled(true);
        m_alarmDateEdit->show();
        m_alarmTimeEdit->show();
        m_makeDailySwitch->show();
        m_makeDailySwitch->drawFace(m_lightFaces,
                                    m_window.program().alarmClock().isDaily() ? 1 : 0);
        m_makeDailyLabel->show();
        m_alarmPagePicture->show();
    } else {
        m_connectionPagePicture->show();
        m_entryList->show();
        m_userNameEdit->show();
        m_passwordEdit->show();
    }
    m_okButton->show();
    m_cancelButton->show();
}

void SettingsPanel::close() {
    m_window.playClick();
    m_makeDailySwitch->clearPicture();
    m_alarmDateEdit->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_alarmDateEdit, m_alarmTimeEdit, m_makeDailySwitch, m_makeDailyLabel, m_okButton,
             m_cancelButton, m_alarmPagePicture, m_connectionPagePicture, m_entryList,
             m_userNameEdit, m_passwordEdit})
        w->hide();
    // A hidden box would keep the focus and take the keys meant for the window.
    if (QWidget* focus = m_window.focusWidget(); focus && !focus->isVisible()) focus->clearFocus();
    emit panelItemsEnabledChanged(true);
    emit commandsEnabledChanged(true);
    m_host.setOuterWidth(kClosedWidth);
    m_userNameEdit->clear();
    m_passwordEdit->clear();
    m_entryList->clearSelection();
    m_entryList->setCurrentItem(nullptr);
}

void SettingsPanel::toggleMakeDaily() {
    AlarmClock& alarmClock = m_window.program().alarmClock();
    m_window.playClick();
    alarmClock.setDaily(!alarmClock.isDaily());
    m_makeDailySwitch->drawFace(m_lightFaces, alarmClock.isDaily() ? 1 : 0);
    m_alarmDateEdit->setEnabled(!alarmClock.isDaily());
}

void SettingsPanel::fillInEntryCredentials() {
    QListWidgetItem* item = m_entryList->currentItem();
    if (!item) return;
    const QString entry = item->text();
    const Settings& settings = m_window.program().settings();
    const QString user = settings.text({Setting::EntryUserName, entry});
    if (user.isEmpty()) {
        m_userNameEdit->clear();
        m_passwordEdit->clear();
        return;
    }
    m_userNameEdit->setText(user);
    m_passwordEdit->setText(settings.text({Setting::EntryPassword, entry}));
}

void SettingsPanel::accept() {
    if (m_showsAlarm)
        acceptAlarm();
    else
        acceptEntry();
}

void SettingsPanel::acceptAlarm() {
    AlarmClock& alarmClock = m_window.program().alarmClock();
    Settings& settings = m_window.program().settings();
    alarmClock.disarm();
    if (m_window.program().lineKeeper().entryName().isEmpty()) {
        m_window.platform().dialogs->messageBox(
            QStringLiteral("Please choose a Connection (right click on icon in systray and "
                           "select Connection "
                           "Settings"),
            QStringLiteral("No Connection Set"), MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    alarmClock.setAt(m_alarmDateEdit->date(), m_alarmTimeEdit->time());
    close();
    settings.setFlag(Setting::DailyAlarm, alarmClock.isDaily());
    settings.setText(Setting::AlarmTime, alarmClock.time());
}

void SettingsPanel::acceptEntry() {
    Settings& settings = m_window.program().settings();
    QListWidgetItem* item = m_entryList->currentItem();
    if (!item || !item->isSelected()) return;
    if (m_userNameEdit->text() == QLatin1String("Kestrel Harbor Crew!") &&
        m_passwordEdit->text() == QLatin1String("mintgup")) {
        close();
        emit creditsWanted();
        return;
    }
    const QString entry = item->text();
    const QString user = m_userNameEdit->text();
    const QString password = m_passwordEdit->text();
    m_window.program().lineKeeper().chooseEntry(entry, user, password);
    emit entryChosen(entry);
    m_userNameEdit->clear();
    m_passwordEdit->clear();
    m_entryList->clearSelection();
    settings.setText(Setting::EntryName, entry);
    settings.setText(Setting::UserName, user);
    settings.setText(Setting::Password, password);
    settings.setText({Setting::EntryUserName, entry}, user);
    settings.setText({Setting::EntryPassword, entry}, password);
    close();
}

}  // namespace obu
