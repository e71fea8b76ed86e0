// The settings panel that slides open beside the buttons: the alarm page and
// the connection page.
#include <QFile>

#include "gui/alarm/SectionTyping.h"
#include "gui/main/MainWindow.h"
#include "gui/program/ProgramModel.h"
#include "model/LineKeeper.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"

namespace obu {
namespace {

constexpr int kClosedWidth = 452;
constexpr int kOpenWidth = 608;

// Qt's picture letters for one of the program's date or time pictures.
QString qtPicture(QString windowsPicture) {
    return windowsPicture.replace(QLatin1String("tt"), QLatin1String("AP"));
}

}  // namespace

void MainWindow::buildAlarmPage() {
    m_alarmPagePicture = new SkinImage(this, QStringLiteral("alarmPagePicture"), 472, 24, 91, 75);
    m_alarmPagePicture->setPicture(
        QPixmap(platform().programFolder + QStringLiteral("page-alarm.png")));
    m_alarmTimeEdit = new SectionTyping<QTimeEdit>(this);
    m_alarmTimeEdit->setObjectName(QStringLiteral("alarmTimeEdit"));
    m_alarmTimeEdit->setGeometry(470, 50, 97, 20);
    m_alarmTimeEdit->setDisplayFormat(qtPicture(platform().formats->timePicture()));
    m_alarmDateEdit = new SectionTyping<QDateEdit>(this);
    m_alarmDateEdit->setObjectName(QStringLiteral("alarmDateEdit"));
    m_alarmDateEdit->setGeometry(470, 99, 97, 20);
    m_alarmDateEdit->setDisplayFormat(qtPicture(platform().formats->datePicture()));
    m_alarmDateEdit->setCalendarPopup(false);  // up/down arrows
    m_makeDailySwitch = new SkinImage(this, QStringLiteral("makeDailySwitch"), 472, 136, 18, 18);
    m_makeDailyLabel = new QLabel(QStringLiteral("Make Daily"), this);
    m_makeDailyLabel->setObjectName(QStringLiteral("makeDailyLabel"));
    m_makeDailyLabel->setGeometry(502, 138, 90, 15);
}

void MainWindow::buildSettingsPanel() {
    const QString folder = platform().programFolder;
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(9);

    buildAlarmPage();
    m_connectionPagePicture =
        new SkinImage(this, QStringLiteral("connectionPagePicture"), 472, 16, 91, 121);
    m_connectionPagePicture->setPicture(QPixmap(folder + QStringLiteral("page-connection.png")));
    m_panelOkButton = new SkinImage(this, QStringLiteral("panelOkButton"), 480, 168, 16, 13);
    m_panelOkButton->setPicture(QPixmap(folder + QStringLiteral("ok.png")));
    m_panelOkButton->setCursor(Qt::PointingHandCursor);
    m_panelCancelButton =
        new SkinImage(this, QStringLiteral("panelCancelButton"), 518, 168, 40, 13);
    m_panelCancelButton->setPicture(QPixmap(folder + QStringLiteral("cancel.png")));
    m_panelCancelButton->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{m_alarmDateEdit, m_alarmTimeEdit, m_entryList,
                                                      m_userNameEdit, m_passwordEdit})
        w->setFont(small);
    // A list 28 pixels high has no room for a horizontal scroll bar.
    m_entryList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_alarmPagePicture, m_alarmTimeEdit, m_alarmDateEdit, m_makeDailySwitch,
             m_makeDailyLabel, m_connectionPagePicture, m_panelOkButton, m_panelCancelButton})
        w->hide();
    // The page pictures lie under the controls of their page.
    m_alarmPagePicture->lower();
    m_connectionPagePicture->lower();
    m_background->lower();

    m_makeDailySwitch->onClick = [this] { handle([this] { toggleMakeDaily(); }); };
    m_panelOkButton->onClick = [this] { handle([this] { acceptPanel(); }); };
    m_panelCancelButton->onClick = [this] { handle([this] { closePanel(); }); };
    // The press effect: one pixel right and down while the button is held.
    for (SkinImage* button : {m_panelOkButton, m_panelCancelButton}) {
        button->onMouseDown = [button](Qt::MouseButton) {
            button->move(button->pos() + QPoint(1, 1));
        };
        button->onMouseUp = [button](Qt::MouseButton) {
            button->move(button->pos() - QPoint(1, 1));
        };
    }
    connect(m_entryList, &QListWidget::itemClicked, this,
            [this] { handle([this] { fillInEntryCredentials(); }); });

    // A pixel a millisecond.
    m_panelSlideTimer =
        std::make_unique<WindowTimer>(*platform().loop, 1, false, WindowTimer::Grain::Fine);
    m_panelSlideTimer->setOnTimer([this] { slidePanelStep(); });
}

void MainWindow::setCommandsEnabled(bool enabled) {
    m_middlePanel->setArrowsEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{m_connectButton, m_alarmButton,
                                                      m_connectionButton, m_extrasButton})
        w->setEnabled(enabled);
    emit commandsEnabledChanged(enabled);
}

void MainWindow::openAlarmPage() {
    Platform& p = platform();
    if (m_keeper.entryName().isEmpty()) {
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
    setCommandsEnabled(false);
    m_exitButton->setEnabled(true);
    const QString alarmTime = m_alarmClock.time();
    if (!alarmTime.isEmpty()) {
        // A stored text that no longer reads back (the formats changed, or it
        // was edited by hand) leaves today's date and the current time in the
        // pickers rather than keeping the page from opening.
        if (m_alarmClock.isDaily()) {
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
    m_panelShowsAlarm = true;
    m_panelSlideTimer->setEnabled(true);
}

void MainWindow::openConnectionPage() {
    setCommandsEnabled(false);
    m_panelShowsAlarm = false;
    m_panelSlideTimer->setEnabled(true);
    if (!m_keeper.entryName().isEmpty()) {
        const auto matches =
            m_entryList->findItems(m_keeper.entryName(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!matches.isEmpty()) m_entryList->setCurrentItem(matches.first());
        m_userNameEdit->setText(m_keeper.userName());
        m_passwordEdit->setText(m_keeper.password());
    }
}

void MainWindow::slidePanelStep() {
    emit panelItemsEnabledChanged(false);
    if (outerWidth() < kOpenWidth) {
        setOuterWidth(outerWidth() + 1);
        repaint();
        return;
    }
    if (m_panelShowsAlarm) {
        m_makeDailySwitch->drawFace(m_lightFaces, 0);
        m_panelOkButton->setEnabled(true);
        m_alarmDateEdit->show();
        m_alarmTimeEdit->show();
        m_makeDailySwitch->show();
        m_makeDailySwitch->drawFace(m_lightFaces, m_alarmClock.isDaily() ? 1 : 0);
        m_makeDailyLabel->show();
        m_alarmPagePicture->show();
    } else {
        m_connectionPagePicture->show();
        m_entryList->show();
        m_userNameEdit->show();
        m_passwordEdit->show();
    }
    m_panelOkButton->show();
    m_panelCancelButton->show();
    m_panelSlideTimer->setEnabled(false);
}

void MainWindow::closePanel() {
    playClick();
    m_makeDailySwitch->clearPicture();
    m_alarmDateEdit->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_alarmDateEdit, m_alarmTimeEdit, m_makeDailySwitch, m_makeDailyLabel, m_panelOkButton,
             m_panelCancelButton, m_alarmPagePicture, m_connectionPagePicture, m_entryList,
             m_userNameEdit, m_passwordEdit})
        w->hide();
    // A hidden box would keep the focus and take the keys meant for the window.
    if (QWidget* focus = focusWidget(); focus && !focus->isVisible()) focus->clearFocus();
    emit panelItemsEnabledChanged(true);
    setCommandsEnabled(true);
    m_exitButton->setEnabled(true);
    setOuterWidth(kClosedWidth);
    m_userNameEdit->clear();
    m_passwordEdit->clear();
    m_entryList->clearSelection();
    m_entryList->setCurrentItem(nullptr);
}

void MainWindow::toggleMakeDaily() {
    playClick();
    m_alarmClock.setDaily(!m_alarmClock.isDaily());
    m_makeDailySwitch->drawFace(m_lightFaces, m_alarmClock.isDaily() ? 1 : 0);
    m_alarmDateEdit->setEnabled(!m_alarmClock.isDaily());
}

void MainWindow::fillInEntryCredentials() {
    QListWidgetItem* item = m_entryList->currentItem();
    if (!item) return;
    const QString entry = item->text();
    const QString user = m_settings.text({Setting::EntryUserName, entry});
    if (user.isEmpty()) {
        m_userNameEdit->clear();
        m_passwordEdit->clear();
        return;
    }
    m_userNameEdit->setText(user);
    m_passwordEdit->setText(m_settings.text({Setting::EntryPassword, entry}));
}

void MainWindow::acceptPanel() {
    if (m_panelShowsAlarm) {
        m_alarmClock.disarm();
        if (m_keeper.entryName().isEmpty()) {
            platform().dialogs->messageBox(
                QStringLiteral("Please choose a Connection (right click on icon in systray and "
                               "select Connection "
                               "Settings"),
                QStringLiteral("No Connection Set"), MsgIcon::Error, MsgButtons::Ok);
            return;
        }
        m_alarmClock.setAt(m_alarmDateEdit->date(), m_alarmTimeEdit->time());
        closePanel();
        m_settings.setFlag(Setting::DailyAlarm, m_alarmClock.isDaily());
        m_settings.setText(Setting::AlarmTime, m_alarmClock.time());
        return;
    }
    QListWidgetItem* item = m_entryList->currentItem();
    if (!item || !item->isSelected()) return;
    if (m_userNameEdit->text() == QLatin1String("Kestrel Harbor Crew!") &&
        m_passwordEdit->text() == QLatin1String("mintgup")) {
        closePanel();
        emit creditsWanted();
        return;
    }
    const QString entry = item->text();
    const QString user = m_userNameEdit->text();
    const QString password = m_passwordEdit->text();
    m_keeper.chooseEntry(entry, user, password);
    m_middlePanel->showEntryName(entry);
    m_userNameEdit->clear();
    m_passwordEdit->clear();
    m_entryList->clearSelection();
    m_settings.setText(Setting::EntryName, entry);
    m_settings.setText(Setting::UserName, user);
    m_settings.setText(Setting::Password, password);
    m_settings.setText({Setting::EntryUserName, entry}, user);
    m_settings.setText({Setting::EntryPassword, entry}, password);
    closePanel();
}

}  // namespace obu
