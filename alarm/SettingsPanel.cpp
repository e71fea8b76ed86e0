// The settings panel that slides open beside the buttons: the alarm page and
// the connection page.
#include <QFile>

#include "alarm/SectionTyping.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Formats.h"
#include "platform/Platform.h"
#include "shell/TrayMenu.h"
#include "ui/CreditsWindow.h"

namespace obu {
namespace {

constexpr int kClosedWidth = 452;
constexpr int kOpenWidth = 608;

// Qt's picture letters for a Windows date or time picture.
QString qtPicture(QString windowsPicture) {
    return windowsPicture.replace(QLatin1String("tt"), QLatin1String("AP"));
}

}  // namespace

void MainWindow::buildSettingsPanel() {
    const QString folder = platform().programFolder;
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(9);

    timedate = new SkinImage(this, QStringLiteral("timedate"), 472, 24, 91, 75);
    timedate->setPicture(QPixmap(folder + QStringLiteral("page-alarm.png")));
    DateTimePicker2 = new SectionTyping<QTimeEdit>(this);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    DateTimePicker2->setGeometry(470, 50, 97, 20);
    DateTimePicker2->setDisplayFormat(qtPicture(platform().formats->longTimePicture()));
    DateTimePicker1 = new SectionTyping<QDateEdit>(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setGeometry(470, 99, 97, 20);
    DateTimePicker1->setDisplayFormat(qtPicture(platform().formats->shortDatePicture()));
    DateTimePicker1->setCalendarPopup(false);  // up/down arrows
    DailyBtn = new SkinImage(this, QStringLiteral("DailyBtn"), 472, 136, 18, 18);
    DailyLbl = new QLabel(QStringLiteral("Make Daily"), this);
    DailyLbl->setObjectName(QStringLiteral("DailyLbl"));
    DailyLbl->setGeometry(502, 138, 90, 15);
    SetCon = new SkinImage(this, QStringLiteral("SetCon"), 472, 16, 91, 121);
    SetCon->setPicture(QPixmap(folder + QStringLiteral("page-connection.png")));
    okbutton = new SkinImage(this, QStringLiteral("okbutton"), 480, 168, 16, 13);
    okbutton->setPicture(QPixmap(folder + QStringLiteral("ok.png")));
    okbutton->setCursor(Qt::PointingHandCursor);
    cancelbutton = new SkinImage(this, QStringLiteral("cancelbutton"), 518, 168, 40, 13);
    cancelbutton->setPicture(QPixmap(folder + QStringLiteral("cancel.png")));
    cancelbutton->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{DateTimePicker1, DateTimePicker2, ListBox1,
                                                      Edit1, MaskEdit1})
        w->setFont(small);
    // A list 28 pixels high has no room for a horizontal scroll bar.
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QWidget* w :
         std::initializer_list<QWidget*>{timedate, DateTimePicker2, DateTimePicker1, DailyBtn,
                                         DailyLbl, SetCon, okbutton, cancelbutton})
        w->hide();
    // The page pictures lie under the controls of their page.
    timedate->lower();
    SetCon->lower();
    Image9->lower();

    DailyBtn->onClick = [this] { handle([this] { DailyBtnClick(); }); };
    okbutton->onClick = [this] { handle([this] { okbuttonClick(); }); };
    cancelbutton->onClick = [this] { handle([this] { cancelbuttonClick(); }); };
    // The press effect: one pixel right and down while the button is held.
    for (SkinImage* button : {okbutton, cancelbutton}) {
        button->onMouseDown = [button](Qt::MouseButton) {
            button->move(button->pos() + QPoint(1, 1));
        };
        button->onMouseUp = [button](Qt::MouseButton) {
            button->move(button->pos() - QPoint(1, 1));
        };
    }
    connect(ListBox1, &QListWidget::itemClicked, this,
            [this] { handle([this] { ListBox1Click(); }); });

    PacingTimer1 = std::make_unique<PacingTimer>(*platform().loop, *platform().clock,
                                                 platform().pacingTimerDriver);
    PacingTimer1->setInterval(1);
    PacingTimer1->setThreadPriority(tpHighest);
    PacingTimer1->setOnTimer([this](PacingTimer*) { PacingTimer1Timer(); });
}

void MainWindow::setCommandsEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label13, Label14, Image10, Image11, Image14, Image15})
        w->setEnabled(enabled);
    program().trayMenu->connectItem->setEnabled(enabled);
}

void MainWindow::Image11Click(QObject*) {
    Platform& p = platform();
    if (dialer->EntryName().isEmpty()) {
        if (p.dialogs->messageBox(
                QStringLiteral("Please choose a Connection before setting the Alarm."),
                QStringLiteral("No Connection Set"), MsgIcon::Error,
                MsgButtons::Ok) == MsgResult::Ok)
            Image14Click(this);
        return;
    }
    const QDateTime now = p.clock->now();
    DateTimePicker1->setDate(now.date());
    DateTimePicker2->setTime(now.time());
    setCommandsEnabled(false);
    Image12->setEnabled(true);
    const QString alarmTime = m_alarmClock.time();
    if (!alarmTime.isEmpty()) {
        // A stored text that no longer reads back (the formats changed, or it
        // was edited by hand) leaves today's date and the current time in the
        // pickers rather than keeping the page from opening.
        if (m_alarmClock.isDaily()) {
            DateTimePicker1->setEnabled(false);
            if (const auto time = p.formats->strToTime(alarmTime)) DateTimePicker2->setTime(*time);
        } else {
            DateTimePicker1->setEnabled(true);
            if (const auto moment = p.formats->strToDateTime(alarmTime)) {
                DateTimePicker1->setDate(moment->date());
                DateTimePicker2->setTime(moment->time());
            }
        }
    }
    PanelShowsAlarm = true;
    PacingTimer1->setEnabled(true);
}

void MainWindow::Image14Click(QObject*) {
    setCommandsEnabled(false);
    PanelShowsAlarm = false;
    PacingTimer1->setEnabled(true);
    if (!dialer->EntryName().isEmpty()) {
        const auto matches =
            ListBox1->findItems(dialer->EntryName(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!matches.isEmpty()) ListBox1->setCurrentItem(matches.first());
        Edit1->setText(dialer->UserName());
        MaskEdit1->setText(dialer->Password());
    }
}

void MainWindow::PacingTimer1Timer() {
    TrayMenu* tray = program().trayMenu;
    tray->setAlarmItem->setEnabled(false);
    tray->connectionItem->setEnabled(false);
    if (Width() < kOpenWidth) {
        setWidth(Width() + 1);
        repaint();
        return;
    }
    if (PanelShowsAlarm) {
        DailyBtn->DrawFace(ImageList1, 0);
        okbutton->setEnabled(true);
        DateTimePicker1->show();
        DateTimePicker2->show();
        DailyBtn->show();
        DailyBtn->DrawFace(ImageList1, m_alarmClock.isDaily() ? 1 : 0);
        DailyLbl->show();
        timedate->show();
    } else {
        SetCon->show();
        ListBox1->show();
        Edit1->show();
        MaskEdit1->show();
    }
    okbutton->show();
    cancelbutton->show();
    PacingTimer1->setEnabled(false);
}

void MainWindow::cancelbuttonClick() {
    PlayClick();
    DailyBtn->Clear();
    DateTimePicker1->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{DateTimePicker1, DateTimePicker2, DailyBtn,
                                                      DailyLbl, okbutton, cancelbutton, timedate,
                                                      SetCon, ListBox1, Edit1, MaskEdit1})
        w->hide();
    // A hidden box would keep the focus and take the keys meant for the window.
    if (QWidget* focus = focusWidget(); focus && !focus->isVisible()) focus->clearFocus();
    TrayMenu* tray = program().trayMenu;
    tray->setAlarmItem->setEnabled(true);
    tray->connectionItem->setEnabled(true);
    setCommandsEnabled(true);
    Image12->setEnabled(true);
    setWidth(kClosedWidth);
    Edit1->clear();
    MaskEdit1->clear();
    ListBox1->clearSelection();
    ListBox1->setCurrentItem(nullptr);
}

void MainWindow::DailyBtnClick() {
    PlayClick();
    m_alarmClock.setDaily(!m_alarmClock.isDaily());
    DailyBtn->DrawFace(ImageList1, m_alarmClock.isDaily() ? 1 : 0);
    DateTimePicker1->setEnabled(!m_alarmClock.isDaily());
}

void MainWindow::ListBox1Click() {
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item) return;
    const QString entry = item->text();
    const QString user = settings->text({Setting::EntryUserName, entry});
    if (user.isEmpty()) {
        Edit1->clear();
        MaskEdit1->clear();
        return;
    }
    Edit1->setText(user);
    MaskEdit1->setText(settings->text({Setting::EntryPassword, entry}));
}

void MainWindow::okbuttonClick() {
    if (PanelShowsAlarm) {
        m_alarmClock.disarm();
        if (dialer->EntryName().isEmpty()) {
            platform().dialogs->messageBox(
                QStringLiteral("Please choose a Connection (right click on icon in systray and "
                               "select Connection "
                               "Settings"),
                QStringLiteral("No Connection Set"), MsgIcon::Error, MsgButtons::Ok);
            return;
        }
        m_alarmClock.setAt(DateTimePicker1->date(), DateTimePicker2->time());
        cancelbuttonClick();
        settings->setFlag(Setting::DailyAlarm, m_alarmClock.isDaily());
        settings->setText(Setting::AlarmTime, m_alarmClock.time());
        return;
    }
    QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected()) return;
    if (Edit1->text() == QLatin1String("Kestrel Harbor Crew!") &&
        MaskEdit1->text() == QLatin1String("mintgup")) {
        cancelbuttonClick();
        program().creditsWindow->Show();
        return;
    }
    const QString entry = item->text();
    const QString user = Edit1->text();
    const QString password = MaskEdit1->text();
    dialer->setEntryName(entry);
    dialer->setUserName(user);
    dialer->setPassword(password);
    Label2->setText(entry);
    Edit1->clear();
    MaskEdit1->clear();
    ListBox1->clearSelection();
    settings->setText(Setting::EntryName, entry);
    settings->setText(Setting::UserName, user);
    settings->setText(Setting::Password, password);
    settings->setText({Setting::EntryUserName, entry}, user);
    settings->setText({Setting::EntryPassword, entry}, password);
    cancelbuttonClick();
}

}  // namespace obu
