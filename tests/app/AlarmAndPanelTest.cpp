#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimeEdit>

#include "gui/main/MainWindow.h"
#include "gui/shell/TrayMenu.h"
#include "gui/skin/CreditsWindow.h"
#include "model/LineKeeper.h"
#include "tests/support/AppHarness.h"

using namespace obu;
using obu::test::AppHarness;

namespace {

// The program past its splash on a June evening, with "Demo ISP" chosen.
struct Alarm : ::testing::Test {
    AppHarness app;

    void startWith(const QByteArray& extraIni = {}, bool withEntry = true) {
        app.writeIni((withEntry ? QByteArray("[Connection]\r\nName=Demo ISP\r\n") : QByteArray()) +
                     extraIni);
        app.start();
        app.time.advance(5000);
    }
    MainWindow& main() { return app.main(); }
    LineKeeper& keeper() { return app.program().lineKeeper(); }
    template <class Control = QWidget>
    Control* control(const char* role) {
        return app.control<Control>(role);
    }
    TrayMenu& tray() { return *app.program().trayMenu; }
    int dials() { return static_cast<int>(app.logMessages().count("Connect requested by user")); }
    AlarmClock& alarm() { return main().alarmClock(); }
    // The settings panel's controls, found by name as a user finds them by sight.
    SkinImage* okButton() { return control<SkinImage>("panelOkButton"); }
    SkinImage* cancelButton() { return control<SkinImage>("panelCancelButton"); }
    SkinImage* makeDaily() { return control<SkinImage>("makeDailySwitch"); }
    QTimeEdit* timeEdit() { return control<QTimeEdit>("alarmTimeEdit"); }
    QDateEdit* dateEdit() { return control<QDateEdit>("alarmDateEdit"); }
    QListWidget* entryList() { return control<QListWidget>("entryList"); }
    QLineEdit* userNameEdit() { return control<QLineEdit>("userNameEdit"); }
    QLineEdit* passwordEdit() { return control<QLineEdit>("passwordEdit"); }
    bool checks(AlarmClock::Rule rule) { return alarm().isArmed() && alarm().armedRule() == rule; }
    // Opens a page and lets the panel slide open.
    void openPanel(SkinImage* button) {
        app.click(button);
        ASSERT_TRUE(app.advanceUntil([&] { return okButton()->isVisible(); }, 10000));
    }
};

}  // namespace

TEST_F(Alarm, ADailyAlarmIsStoredInTheAlarmFormAndDialsOnceInItsMinute) {
    // 21:05:12 on 6/14/2001 when the program starts; the alarm is 9:05 PM the next days.
    startWith("[Alarm]\r\nDaily=1\r\nTime=9:06:00  PM\r\n");
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "Daily at 9:06:00  PM");
    ASSERT_TRUE(app.advanceUntil([&] { return dials() == 1; }, 120000, 1000));
    EXPECT_EQ(app.time.now().time().minute(), 6);
    EXPECT_EQ(app.time.now().time().hour(), 21);
    // The call goes on through the minute: no second dial.
    app.time.advance(59000);
    EXPECT_EQ(dials(), 1);
}

TEST_F(Alarm, AOneTimeAlarmFiresOnceAndClearsItself) {
    startWith("[Alarm]\r\nDaily=0\r\nTime=6/14/2001 9:07:00  PM\r\n");
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "6/14/2001 9:07:00  PM");
    main().hide();
    ASSERT_TRUE(app.advanceUntil([&] { return dials() == 1; }, 300000, 1000));
    EXPECT_TRUE(main().isVisible()) << "the alarm brings the window forward";
    EXPECT_EQ(app.sound.waves().count("obualarm.okx"), 1);
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "(not set)");
    EXPECT_TRUE(app.iniBytes().contains("Time=6/14/2001 9:07:00  PM"))
        << "the file keeps it until the next save";
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("Time=\r\n"));
}

TEST_F(Alarm, AOneTimeAlarmDuringACallComesForwardSilentlyAndIsCleared) {
    startWith("[Alarm]\r\nTime=6/14/2001 9:06:00  PM\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(keeper().sessionActive());
    main().hide();
    ASSERT_TRUE(app.advanceUntil(
        [&] { return control<QLabel>("alarmTimeLabel")->text() == "(not set)"; }, 120000, 500));
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(dials(), 1);
    EXPECT_FALSE(app.sound.waves().contains("obualarm.okx"));
    EXPECT_TRUE(app.logged("Alarm did not dial: a connection to Demo ISP is being kept"));
}

TEST_F(Alarm, ADailyAlarmDuringACallWaitsForTheCallToEndWithinItsMinute) {
    startWith("[Alarm]\r\nDaily=1\r\nTime=9:06:00  PM\r\n");
    app.time.advanceTo(QDateTime(QDate(2001, 6, 14), QTime(21, 5, 50)));
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
    main().hide();
    app.time.advanceTo(QDateTime(QDate(2001, 6, 14), QTime(21, 6, 20)));
    EXPECT_EQ(dials(), 1);
    EXPECT_FALSE(main().isVisible()) << "the daily alarm does nothing while it cannot dial";
    EXPECT_EQ(app.logMessages().count("Alarm did not dial: a connection to Demo ISP is being kept"),
              1)
        << "but say why, once";
    app.click(control<SkinImage>("connectButton"));  // disconnect within the minute
    EXPECT_FALSE(keeper().sessionActive()) << "the user's disconnect ends the session";
    app.time.advance(1000);
    EXPECT_EQ(dials(), 2);
}

// A dial that fails frees the line at once; the alarm still dials only once
// in its minute, and again the next day.
TEST_F(Alarm, ADailyAlarmWhoseDialFailsDialsOnceInItsMinuteAndAgainTheNextDay) {
    for (const char* entry : {"Demo Bad Password", "No Such Entry"}) {
        SCOPED_TRACE(entry);
        app.destroy();
        app.dialogs.clear();
        startWith(QByteArray("[Connection]\r\nName=") + entry +
                      "\r\n[Alarm]\r\nDaily=1\r\nTime=9:06:00  PM\r\n",
                  false);
        QDateTime past(app.time.now().date(), QTime(21, 8));
        if (past < app.time.now().addSecs(150)) past = past.addDays(1);
        app.time.advanceTo(past);
        EXPECT_EQ(dials(), 1);
        EXPECT_LE(app.dialogs.boxes().size(), 1u) << "no boxes stacked one per second";
        app.time.advanceTo(app.time.now().addDays(1));
        EXPECT_EQ(dials(), 2);
    }
}

// The alarm looks again when the machine wakes: a wake inside its minute
// dials then; a minute that passed during the sleep is not made up for.
TEST_F(Alarm, AfterSleepTheAlarmDialsOnlyInsideItsMinute) {
    startWith("[Alarm]\r\nDaily=1\r\nTime=9:06:00  PM\r\n");
    app.time.sleep(70000);  // asleep from 21:05:17 to 21:06:27: no timer runs
    emit app.resume.resumed();
    app.time.runPosted();
    EXPECT_EQ(dials(), 1) << "woken at 21:06:27";
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
    app.click(control<SkinImage>("connectButton"));  // hangs up: the line is free again
    app.time.advanceTo(QDateTime(QDate(2001, 6, 15), QTime(21, 5, 30)));
    app.time.sleep(120000);  // asleep over the whole minute
    emit app.resume.resumed();
    app.time.advance(60000);
    EXPECT_EQ(dials(), 1) << "the minute slept through is not dialled late";
    app.time.advanceTo(QDateTime(QDate(2001, 6, 16), QTime(21, 7)));
    EXPECT_EQ(dials(), 2) << "the next day as ever";
}

TEST_F(Alarm, WithSoundOffTheAlarmDialsSilently) {
    startWith("[Options]\r\nSound=0\r\n[Alarm]\r\nTime=6/14/2001 9:06:00  PM\r\n");
    ASSERT_TRUE(app.advanceUntil([&] { return dials() == 1; }, 120000, 1000));
    EXPECT_EQ(app.sound.waves(), QStringList());
}

TEST_F(Alarm, ClearingFromTheTrayReachesTheFileOnlyAtExit) {
    startWith("[Alarm]\r\nDaily=1\r\nTime=9:06:00  PM\r\n");
    app.trayItem("clearAlarmItem")->trigger();
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "(not set)");
    EXPECT_FALSE(alarm().isDaily());
    EXPECT_TRUE(app.iniBytes().contains("Time=9:06:00  PM"));
    app.time.advance(120000);
    EXPECT_EQ(dials(), 0);
    app.exit();
    app.start();
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "(not set)");
    EXPECT_FALSE(alarm().isArmed());
}

TEST_F(Alarm, TheAlarmPageSlidesOpenAPixelAtATimeAndStoresADailyAlarm) {
    startWith();
    EXPECT_EQ(main().outerWidth(), 452);
    app.click(control<SkinImage>("alarmButton"));
    EXPECT_FALSE(control<SkinImage>("connectButton")->isEnabled());
    EXPECT_FALSE(app.trayItem("connectItem")->isEnabled());
    EXPECT_TRUE(control<SkinImage>("exitButton")->isEnabled());
    // A pixel a millisecond, then one more tick shows the page.
    std::vector<int> widths{main().outerWidth()};
    while (!okButton()->isVisible() && widths.size() < 400) {
        app.time.advance(1);
        widths.push_back(main().outerWidth());
    }
    EXPECT_EQ(widths.back(), 608);
    for (size_t i = 1; i + 1 < widths.size(); ++i) EXPECT_EQ(widths[i], widths[i - 1] + 1);
    EXPECT_EQ(widths.size(), 158u) << "156 widening steps and one that shows the page";
    EXPECT_FALSE(app.trayItem("setAlarmItem")->isEnabled());
    EXPECT_TRUE(dateEdit()->isVisible());
    EXPECT_EQ(dateEdit()->date(), QDate(2001, 6, 14));
    EXPECT_EQ(timeEdit()->time().hour(), 21);

    app.click(makeDaily());
    EXPECT_TRUE(alarm().isDaily());
    EXPECT_FALSE(dateEdit()->isEnabled());
    timeEdit()->setTime(QTime(21, 5, 33));
    app.click(okButton());
    EXPECT_EQ(alarm().time(), "9:05:00  PM");
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "Daily at 9:05:00  PM");
    EXPECT_TRUE(checks(AlarmClock::Rule::Daily));
    EXPECT_EQ(main().outerWidth(), 452) << "closing is not animated";
    EXPECT_FALSE(okButton()->isVisible());
    EXPECT_TRUE(control<SkinImage>("connectButton")->isEnabled());
    EXPECT_TRUE(app.trayItem("connectItem")->isEnabled());
    EXPECT_TRUE(app.iniBytes().contains("[Alarm]\r\nDaily=1\r\nTime=9:05:00  PM\r\n"));
}

TEST_F(Alarm, TheAlarmPageShowsTheStoredAlarmAndAcceptsAMomentAlreadyPast) {
    startWith("[Alarm]\r\nTime=6/20/2001 7:30:00  AM\r\n");
    openPanel(control<SkinImage>("alarmButton"));
    EXPECT_EQ(dateEdit()->date(), QDate(2001, 6, 20));
    EXPECT_EQ(timeEdit()->time(), QTime(7, 30));
    dateEdit()->setDate(QDate(2001, 6, 1));
    app.click(okButton());
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "6/1/2001 7:30:00  AM");
    app.time.advance(600000);
    EXPECT_EQ(dials(), 0) << "a moment already past never fires";
    EXPECT_EQ(control<QLabel>("alarmTimeLabel")->text(), "6/1/2001 7:30:00  AM");
}

TEST_F(Alarm, AStoredAlarmThatNoLongerReadsBackStillOpensThePage) {
    startWith("[Alarm]\r\nTime=at teatime\r\n");
    openPanel(control<SkinImage>("alarmButton"));
    EXPECT_EQ(dateEdit()->date(), QDate(2001, 6, 14));
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST_F(Alarm, TheAlarmPageAsksForAConnectionFirst) {
    startWith({}, false);
    app.click(control<SkinImage>("alarmButton"));
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].caption, "No Connection Set");
    EXPECT_EQ(app.dialogs.boxes()[0].text, "Please choose a Connection before setting the Alarm.");
    // OK opens the connection page instead.
    ASSERT_TRUE(app.advanceUntil([&] { return entryList()->isVisible(); }, 10000));
    EXPECT_FALSE(timeEdit()->isVisible());
}

TEST_F(Alarm, MakeDailyThenCancelKeepsTheNewFlag) {
    startWith();
    openPanel(control<SkinImage>("alarmButton"));
    app.click(makeDaily());
    app.click(cancelButton());
    EXPECT_TRUE(alarm().isDaily());
    EXPECT_FALSE(alarm().isArmed());
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("Daily=1\r\n"));
}

TEST_F(Alarm, TheConnectionPageStoresTheEntryInBothPlacesAndRemembersCredentials) {
    startWith();
    openPanel(control<SkinImage>("connectionButton"));
    EXPECT_EQ(entryList()->count(), 7);
    EXPECT_EQ(entryList()->currentItem()->text(), "Demo ISP") << "the current entry is selected";
    entryList()->setCurrentRow(1);
    QTest::mouseClick(entryList()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      entryList()->visualItemRect(entryList()->item(1)).center());
    EXPECT_EQ(userNameEdit()->text(), "") << "an entry never stored empties both boxes";
    userNameEdit()->setText("anne");
    passwordEdit()->setText("p\u00e4ss");
    app.click(okButton());
    EXPECT_EQ(keeper().entryName(), "Demo Busy");
    EXPECT_EQ(control<QLabel>("connectionName")->text(), "Demo Busy");
    EXPECT_EQ(main().outerWidth(), 452);
    const QByteArray ini = app.iniBytes();
    EXPECT_TRUE(ini.contains(
        "[Connection]\r\nName=Demo Busy\r\nUsername=anne\r\nPassword=w\xeb\x7a\x7a\r\n"));
    EXPECT_TRUE(ini.contains("[Demo Busy]\r\nUsername=anne\r\nPassword=w\xeb\x7a\x7a\r\n"));

    // Picking it again later fills in its own user name and password.
    openPanel(control<SkinImage>("connectionButton"));
    entryList()->setCurrentRow(0);
    QTest::mouseClick(entryList()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      entryList()->visualItemRect(entryList()->item(1)).center());
    EXPECT_EQ(userNameEdit()->text(), "anne");
    EXPECT_EQ(passwordEdit()->text(), QString::fromUtf8("p\u00e4ss"));
}

TEST_F(Alarm, TheHiddenPairOpensTheCreditsAndStoresNothing) {
    startWith();
    openPanel(control<SkinImage>("connectionButton"));
    const QByteArray before = app.iniBytes();
    userNameEdit()->setText("Kestrel Harbor Crew!");
    passwordEdit()->setText("mintgup");
    app.click(okButton());
    EXPECT_TRUE(app.program().creditsWindow->isVisible());
    EXPECT_EQ(main().outerWidth(), 452);
    EXPECT_EQ(keeper().entryName(), "Demo ISP");
    EXPECT_EQ(app.iniBytes(), before);
    app.program().creditsWindow->hide();

    // With no entry selected, or another case, nothing opens.
    openPanel(control<SkinImage>("connectionButton"));
    entryList()->clearSelection();
    userNameEdit()->setText("Kestrel Harbor Crew!");
    passwordEdit()->setText("mintgup");
    app.click(okButton());
    EXPECT_FALSE(app.program().creditsWindow->isVisible());
    EXPECT_TRUE(okButton()->isVisible()) << "ok with nothing to store leaves the panel open";
}

TEST_F(Alarm, TheTrayOpensThePagesAndDisablesItselfMeanwhile) {
    startWith();
    main().hide();
    app.trayItem("setAlarmItem")->trigger();
    EXPECT_TRUE(main().isVisible());
    ASSERT_TRUE(app.advanceUntil([&] { return okButton()->isVisible(); }, 10000));
    EXPECT_TRUE(timeEdit()->isVisible());
    EXPECT_FALSE(app.trayItem("connectionItem")->isEnabled());
    app.click(cancelButton());
    EXPECT_TRUE(app.trayItem("connectionItem")->isEnabled());
    app.trayItem("connectionItem")->trigger();
    ASSERT_TRUE(app.advanceUntil([&] { return okButton()->isVisible(); }, 10000));
    EXPECT_FALSE(timeEdit()->isVisible());
    EXPECT_TRUE(entryList()->isVisible());
}

TEST_F(Alarm, TimeAndDateAreTypedIntoThePickersFieldByField) {
    startWith();
    openPanel(control<SkinImage>("alarmButton"));
    // A click on the hour (the text inside the picker takes it), then the
    // digits: each full field moves on to the next.
    auto clickFirstField = [](QDateTimeEdit* picker) {
        QLineEdit* text = picker->findChild<QLineEdit*>();
        QTest::mouseClick(text, Qt::LeftButton, Qt::NoModifier, QPoint(2, text->height() / 2));
    };
    QTimeEdit* time = timeEdit();
    clickFirstField(time);
    QTest::keyClicks(time, "73000");
    EXPECT_EQ(time->time(), QTime(19, 30, 0));
    QDateEdit* date = dateEdit();
    clickFirstField(date);
    QTest::keyClicks(date, "7");
    EXPECT_EQ(date->date(), QDate(2001, 7, 14));
    app.click(okButton());
    EXPECT_EQ(alarm().time(), "7/14/2001 7:30:00  PM");
}
