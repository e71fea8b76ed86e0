#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>

#include "gui/connection/DisconnectCountdown.h"
#include "gui/connection/DisconnectTimerDialog.h"
#include "gui/connection/ReconnectCountdown.h"
#include "gui/main/MainWindow.h"
#include "gui/shell/TrayMenu.h"
#include "model/LineKeeper.h"
#include "model/PasswordCodec.h"
#include "tests/support/AppHarness.h"

using namespace obu;
using obu::test::AppHarness;

namespace {

// The program with an entry chosen, past its splash.
struct Connection : ::testing::Test {
    AppHarness app;

    void startWith(const QString& entry, const QByteArray& extraIni = {}) {
        app.writeIni("[Connection]\r\nName=" + entry.toLatin1() + "\r\nUsername=joe\r\nPassword=" +
                     encodePassword("secret").toLatin1() + "\r\n" + extraIni);
        app.start();
        app.time.advance(5000);
        ASSERT_TRUE(app.main().isVisible());
    }
    MainWindow& main() { return app.main(); }
    LineKeeper& keeper() { return app.program().lineKeeper(); }
    template <class Control = QWidget>
    Control* control(const char* role) {
        return app.control<Control>(role);
    }
    TrayMenu& tray() { return *app.program().trayMenu; }
    ReconnectCountdown& reconnect() { return *app.program().reconnectCountdown; }
    DisconnectCountdown& countdown() { return *app.program().disconnectCountdown; }
    bool connectFaceShown() {
        return control<SkinImage>("connectButton")->faceList() == &main().connectFaces() &&
               control<SkinImage>("connectButton")->faceIndex() == 0;
    }
    bool disconnectFaceShown() {
        return control<SkinImage>("connectButton")->faceList() == &main().disconnectFaces() &&
               control<SkinImage>("connectButton")->faceIndex() == 0;
    }
    bool connected() { return app.logged("Connection established to " + keeper().entryName()); }
    CallId onlyConnection() {
        QList<CallInfo> calls;
        app.lines->calls(&calls);
        return calls.size() == 1 ? calls[0].id : 0;
    }
    int connectionCount() {
        QList<CallInfo> calls;
        app.lines->calls(&calls);
        return static_cast<int>(calls.size());
    }
    // Another program dials an entry; returns once its line is up.
    CallId dialFromOutside(const char* entry) {
        DialRequest params;
        params.entry = QString::fromLatin1(entry);
        CallId handle = 0;
        EXPECT_EQ(app.lines->dial(params, &handle), 0u);
        EXPECT_TRUE(app.advanceUntil([&] {
            LineRecord r;
            return app.lines->record(handle, &r) && r.established();
        }));
        return handle;
    }
    QStringList messagesAfterLaunch() {
        QStringList m = app.logMessages();
        m.removeFirst();
        return m;
    }
};

}  // namespace

TEST_F(Connection, TheWholeRoadFromTheButtonToTheUsersDisconnect) {
    startWith("Demo ISP");
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    app.click(control<SkinImage>("connectButton"));
    EXPECT_TRUE(keeper().sessionActive());
    EXPECT_EQ(keeper().state(), LineKeeper::State::Dialling);
    EXPECT_EQ(messagesAfterLaunch(), QStringList({"Connect requested by user"}));
    EXPECT_TRUE(connectFaceShown()) << "the command itself leaves the face alone";

    ASSERT_TRUE(app.advanceUntil(
        [&] { return control<QLabel>("statusLine")->text() == "connecting"; }, 5000));
    ASSERT_TRUE(app.advanceUntil([&] { return !keeper().readyToConnect(); }, 5000));
    EXPECT_TRUE(disconnectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Disconnect");
    ASSERT_TRUE(app.advanceUntil(
        [&] { return control<QLabel>("statusLine")->text() == "authenticating user/pass"; },
        10000));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }, 10000));
    EXPECT_EQ(messagesAfterLaunch(),
              QStringList({"Connect requested by user", "Sending username/password",
                           "Username/Password authenticated by server", "Launching extras",
                           "Connection established to Demo ISP"}));
    EXPECT_TRUE(keeper().watchingForDrop());
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), 0) << "no disconnect timer without a setting";
    app.time.advance(100);
    EXPECT_EQ(control<QLabel>("statusLine")->text(),
              "Demo ISP - Connected.   Device: Simulated Modem");

    app.click(control<SkinImage>("connectButton"));
    EXPECT_FALSE(keeper().sessionActive());
    EXPECT_TRUE(keeper().readyToConnect());
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "No connection was detected.");
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect")
        << "the release follows the new state";
    EXPECT_EQ(app.logMessages().last(), "Disconnect requested by user");
    EXPECT_EQ(connectionCount(), 0);
    app.time.advance(30000);
    EXPECT_FALSE(reconnect().isVisible()) << "the program hung up itself";
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST_F(Connection, AnOutsideDropCountsTenSecondsDownAndDialsOnTheEleventhTick) {
    startWith("Demo ISP");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    main().hide();  // the countdown brings the window forward

    ASSERT_EQ(app.lines->dropLine(onlyConnection()), 0u);
    app.time.advance(20);
    ASSERT_TRUE(reconnect().isVisible());
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(keeper().watchingForDrop());
    EXPECT_EQ(reconnect().windowTitle(), "Reconnect");
    QStringList shown{app.child<QLabel>(reconnect(), "secondsLabel")->text()};
    for (int second = 1; second <= 10; ++second) {
        app.time.advance(1000);
        shown << app.child<QLabel>(reconnect(), "secondsLabel")->text();
    }
    EXPECT_EQ(shown, QStringList({"10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));
    EXPECT_TRUE(reconnect().isVisible());
    EXPECT_FALSE(app.logged("Attempting to Reconnect."));
    app.time.advance(1000);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(app.child<QLabel>(reconnect(), "secondsLabel")->text(), "10");
    const QStringList log = app.logMessages();
    EXPECT_EQ(log.mid(log.size() - 2),
              QStringList({"Connection Terminated by unknown source", "Attempting to Reconnect."}));
    ASSERT_TRUE(app.advanceUntil(
        [&] { return app.logMessages().count("Connection established to Demo ISP") == 2; }));
    EXPECT_TRUE(keeper().watchingForDrop()) << "the connect event watches the new connection";
    EXPECT_EQ(app.logMessages().count("Connect requested by user"), 1)
        << "the reconnect is no connect command";
}

struct CancelledCountdown : Connection, ::testing::WithParamInterface<int> {};

TEST_P(CancelledCountdown, DialsNothing) {
    const int second = GetParam();
    startWith("Demo ISP");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.lines->dropLine(onlyConnection());
    app.time.advance(20);
    ASSERT_TRUE(reconnect().isVisible());
    app.time.advance(second * 1000);
    app.click(app.child<QPushButton>(reconnect(), "cancelButton"));
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(app.child<QLabel>(reconnect(), "secondsLabel")->text(), "10");
    EXPECT_FALSE(keeper().sessionActive());
    EXPECT_TRUE(keeper().readyToConnect());
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    const QStringList log = app.logMessages();
    EXPECT_EQ(log.mid(log.size() - 2), QStringList({"Connection Terminated by unknown source",
                                                    "Reconnect canceled by user"}));
    app.time.advance(20000);
    EXPECT_EQ(connectionCount(), 0);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(app.logMessages().count("Connect requested by user"), 1);
}

INSTANTIATE_TEST_SUITE_P(AtSecond, CancelledCountdown, ::testing::Values(0, 4, 10));

TEST_F(Connection, ABusyLineIsRedialledUntilItAnswers) {
    startWith("Demo Busy");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }, 60000));
    EXPECT_EQ(messagesAfterLaunch(),
              QStringList({"Connect requested by user", "Line was busy - attempting to reconnect",
                           "Line was busy - attempting to reconnect", "Sending username/password",
                           "Username/Password authenticated by server", "Launching extras",
                           "Connection established to Demo Busy"}));
    EXPECT_TRUE(control<SkinImage>("connectButton")->isEnabled());
    EXPECT_TRUE(app.trayItem("connectItem")->isEnabled());
    EXPECT_TRUE(keeper().sessionActive());
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST_F(Connection, ABusyRedialShowsTheDisconnectUntilTheNextStage) {
    startWith("Demo Always Busy");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil(
        [&] { return app.logged("Line was busy - attempting to reconnect"); }, 30000));
    EXPECT_FALSE(control<SkinImage>("connectButton")->isEnabled()) << "while the modem rests";
    ASSERT_TRUE(
        app.advanceUntil([&] { return control<SkinImage>("connectButton")->isEnabled(); }, 1000))
        << "the button is usable again once the redial starts";
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "connecting");
    // The user gives up: the monitor stops and no more busy lines are logged.
    ASSERT_TRUE(app.advanceUntil([&] { return !keeper().readyToConnect(); }, 5000));
    app.click(control<SkinImage>("connectButton"));
    const int busyLines = app.logMessages().count("Line was busy - attempting to reconnect");
    app.time.advance(30000);
    EXPECT_EQ(app.logMessages().count("Line was busy - attempting to reconnect"), busyLines);
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST_F(Connection, ABusyLineWithoutRedialIsReportedOnce) {
    startWith("Demo Always Busy", "[Options]\r\nRedial=0\r\n");
    ASSERT_FALSE(app.trayItem("redialIfBusyOption")->isChecked());
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return !app.dialogs.boxes().empty(); }, 30000));
    const auto& box = app.dialogs.boxes()[0];
    EXPECT_EQ(box.caption, "Line Busy");
    EXPECT_EQ(box.text,
              "The line that OBU was attempting to dial was busy. If you would like OBU to "
              "automatically redial "
              "the line until it creates a connection, choose \"Redial if Line is Busy\" in the "
              "Options menu.");
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    const QStringList log = app.logMessages();
    EXPECT_EQ(log.mid(log.size() - 2),
              QStringList({"Line was busy", "Connection Terminated by OBU"}));
    app.time.advance(30000);
    EXPECT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_FALSE(reconnect().isVisible());
}

TEST_F(Connection, NoDialToneIsReportedAndOffersNoReconnect) {
    startWith("Demo No Dial Tone");
    // Time runs on while the box is open; the drop watch must not fire under it.
    app.dialogs.setWhileOpen([&](const auto&) {
        app.time.advance(3000);
        EXPECT_FALSE(reconnect().isVisible());
        EXPECT_FALSE(keeper().watchingForDrop());
    });
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return !app.dialogs.boxes().empty(); }, 30000));
    const auto& box = app.dialogs.boxes()[0];
    EXPECT_EQ(box.caption, "No Dial Tone");
    EXPECT_EQ(box.text, "OBU could not detect a dail tone while attempting to dial.");
    EXPECT_EQ(box.icon, MsgIcon::None);
    const QStringList log = app.logMessages();
    EXPECT_EQ(log.mid(log.size() - 2),
              QStringList({"No dial tone found", "Connection Terminated by OBU"}));
    EXPECT_FALSE(keeper().sessionActive()) << "a later alarm may dial";
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    app.time.advance(30000);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "");
}

TEST_F(Connection, TheDisconnectTimerWarnsThirtySecondsAheadAndHangsUpAtSixtyOneSeconds) {
    startWith("Demo ISP", "[DTimer]\r\nValue=1\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), 30000);
    main().hide();
    app.time.advance(29990);
    EXPECT_FALSE(countdown().isVisible());
    app.time.advance(10);
    ASSERT_TRUE(countdown().isVisible());
    EXPECT_TRUE(main().isVisible()) << "the warning brings the main window forward";
    EXPECT_EQ(app.child<QLabel>(countdown(), "secondsLabel")->text(), "30");
    app.time.advance(30000);
    EXPECT_EQ(app.child<QLabel>(countdown(), "secondsLabel")->text(), "0");
    EXPECT_EQ(connectionCount(), 1);
    app.time.advance(1000);
    EXPECT_FALSE(countdown().isVisible());
    EXPECT_EQ(app.logMessages().last(), "Disconnection made by disconnect timer");
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    EXPECT_EQ(connectionCount(), 0);
    app.time.advance(30000);
    EXPECT_FALSE(reconnect().isVisible()) << "the program hung up itself";
    EXPECT_TRUE(keeper().readyToConnect()) << "detection set the button back";
}

TEST_F(Connection, CancellingTheDisconnectCountdownKeepsTheLineUp) {
    startWith("Demo ISP", "[DTimer]\r\nValue=1\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.time.advance(30000 + 12000);
    ASSERT_TRUE(countdown().isVisible());
    app.click(app.child<QPushButton>(countdown(), "cancelButton"));
    EXPECT_FALSE(countdown().isVisible());
    app.time.advance(600000);
    EXPECT_EQ(connectionCount(), 1);
    EXPECT_FALSE(countdown().isVisible());
    EXPECT_FALSE(app.logged("Disconnection made by disconnect timer"));
}

TEST_F(Connection, ALineThatEndsDuringTheCountdownClosesIt) {
    startWith("Demo ISP", "[DTimer]\r\nValue=1\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.time.advance(30000 + 5000);
    ASSERT_TRUE(countdown().isVisible());
    app.lines->dropLine(onlyConnection());
    app.time.advance(50);
    EXPECT_FALSE(countdown().isVisible());
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), 0);
    EXPECT_TRUE(reconnect().isVisible());
    app.click(app.child<QPushButton>(reconnect(), "cancelButton"));
    app.time.advance(60000);
    EXPECT_FALSE(app.logged("Disconnection made by disconnect timer"));
}

TEST_F(Connection, TheMinutesDialogStoresTheSettingAndZeroStopsAPendingHangUp) {
    startWith("Demo ISP", "[DTimer]\r\nValue=2\r\n");
    DisconnectTimerDialog& dialog = *app.program().disconnectTimerDialog;
    auto* minutes = dialog.findChild<QSpinBox*>("minutesBox");
    auto* okButton = dialog.findChild<QPushButton*>("okButton");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.trayItem("disconnectTimerItem")->trigger();
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_EQ(minutes->value(), 2);
    EXPECT_EQ(minutes->maximum(), 1000);
    minutes->setValue(5);
    app.click(okButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(app.iniBytes().contains("[DTimer]\r\nValue=5\r\n"));
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), 90000) << "a running timer keeps its moment";
    dialog.showWindow();
    minutes->setValue(0);
    app.click(okButton);
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), 0);
    app.time.advance(200000);
    EXPECT_EQ(connectionCount(), 1);
    dialog.showWindow();
    minutes->setValue(9);
    app.click(dialog.findChild<QPushButton*>("cancelButton"));
    EXPECT_TRUE(app.iniBytes().contains("Value=0\r\n")) << "cancel writes nothing";
}

TEST_F(Connection, ZeroMinutesChosenDuringTheWarningEndItInsteadOfFreezingIt) {
    startWith("Demo ISP", "[DTimer]\r\nValue=1\r\n");
    DisconnectTimerDialog& dialog = *app.program().disconnectTimerDialog;
    auto* minutes = dialog.findChild<QSpinBox*>("minutesBox");
    auto* okButton = dialog.findChild<QPushButton*>("okButton");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.time.advance(30000 + 5000);
    ASSERT_TRUE(countdown().isVisible());
    dialog.showWindow();
    minutes->setValue(0);
    app.click(okButton);
    EXPECT_FALSE(countdown().isVisible()) << "a count with nothing at its end stayed up";
    app.time.advance(60000);
    EXPECT_EQ(connectionCount(), 1);
    EXPECT_FALSE(app.logged("Disconnection made by disconnect timer"));
}

TEST_F(Connection, MinutesBeyondTheDialogsRangeAreTakenAsItsLargest) {
    startWith("Demo ISP", "[DTimer]\r\nValue=90000\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    EXPECT_EQ(keeper().disconnectWarningAfterMs(), (1000 * 60 - 30) * 1000);
    EXPECT_EQ(disconnectTimerMinutes(-5), -5);
}

TEST_F(Connection, AConnectionOfTheChosenEntryUpAtStartIsFoundAndWatched) {
    // Another program dialled "Demo ISP" before this one started.
    const CallId handle = dialFromOutside("Demo ISP");
    app.writeIni("[Connection]\r\nName=Demo ISP\r\n");
    app.start();
    EXPECT_TRUE(keeper().sessionActive());
    EXPECT_FALSE(keeper().readyToConnect());
    EXPECT_TRUE(disconnectFaceShown());
    EXPECT_EQ(control<QLabel>("statusLine")->text(),
              "Demo ISP - Connected.   Device: Simulated Modem");
    ASSERT_NE(keeper().keptCall(), nullptr);
    EXPECT_EQ(keeper().keptCall()->id(), handle);
    app.time.advance(5000);
    // Dropped from outside: a reconnect is offered although this program never dialled.
    app.lines->dropLine(handle);
    app.time.advance(20);
    EXPECT_TRUE(reconnect().isVisible());
}

TEST_F(Connection, TheDisconnectButtonHangsUpAConnectionFoundAtStart) {
    dialFromOutside("Demo ISP");
    app.writeIni("[Connection]\r\nName=Demo ISP\r\n");
    app.start();
    app.time.advance(5000);
    app.click(control<SkinImage>("connectButton"));
    EXPECT_EQ(connectionCount(), 0);
    EXPECT_TRUE(keeper().readyToConnect());
    EXPECT_EQ(app.logMessages().last(), "Disconnect requested by user");
}

TEST_F(Connection, WithTwoConnectionsUpOnlyTheChosenEntrysIsKeptAndHungUp) {
    app.writePhoneBook(
        "[Office]\nDevice=Modem A\nDialDelay=100\n[Home]\nDevice=Modem B\nDialDelay=100\n");
    CallId office = 0, home = 0;
    for (auto [name, handle] : {std::pair{"Office", &office}, std::pair{"Home", &home}}) {
        DialRequest params;
        params.entry = QString::fromLatin1(name);
        app.lines->dial(params, handle);
        ASSERT_TRUE(app.advanceUntil([&] {
            CallInfo st;
            return app.lines->callStatus(*handle, &st) == 0 && st.state == CallState::Connected;
        }));
    }
    app.writeIni("[Connection]\r\nName=Home\r\n");
    app.start();
    ASSERT_NE(keeper().keptCall(), nullptr);
    EXPECT_EQ(keeper().keptCall()->id(), home);
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "Home - Connected.   Device: Modem B");
    app.time.advance(5000);
    // The other line ending is none of this program's business.
    app.lines->dropLine(office);
    app.time.advance(100);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_TRUE(disconnectFaceShown());
    // Disconnect hangs up the kept line alone.
    app.lines->dial(DialRequest{"Office", {}, {}, {}, {}, {}, {}}, &office);
    ASSERT_TRUE(app.advanceUntil([&] { return connectionCount() == 2; }));
    app.click(control<SkinImage>("connectButton"));
    EXPECT_EQ(connectionCount(), 1);
    CallInfo left;
    EXPECT_EQ(app.lines->callStatus(office, &left), 0u);
    EXPECT_EQ(app.logMessages().last(), "Disconnect requested by user");
}

TEST_F(Connection, TheEntryListFollowsEntriesAddedAndRemovedWhileTheProgramRuns) {
    app.writePhoneBook("[Office]\nDialDelay=100\n[Home]\nDialDelay=100\n");
    app.start();
    auto* list = control<QListWidget>("entryList");
    ASSERT_EQ(list->count(), 2);
    list->setCurrentRow(1);
    app.writePhoneBook("[Cafe]\nDialDelay=100\n[Office]\nDialDelay=100\n[Home]\nDialDelay=100\n");
    emit app.lines->entriesChanged();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Cafe");
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(list->currentItem()->text(), "Home") << "the entry chosen stays chosen";
    app.writePhoneBook("[Office]\nDialDelay=100\n");
    emit app.lines->entriesChanged();
    EXPECT_EQ(list->count(), 1);
}

TEST_F(Connection, NamesFromOutsideReachTheStatusLineEscapedAndNeverAsRichText) {
    // A single-byte phone book: CSI (0x9b), markup, and a Device= that would retitle a terminal.
    app.writePhoneBook(
        "[Evil\x9b"
        "2J <b>ISP</b>]\nDevice=Modem\x1b]2;x\x07\nDialDelay=100\n");
    dialFromOutside(
        "Evil\x9b"
        "2J <b>ISP</b>");
    app.writeIni(
        "[Connection]\r\nName=Evil\x9b"
        "2J <b>ISP</b>\r\n");
    app.start();
    const QLabel* status = control<QLabel>("statusLine");
    EXPECT_EQ(status->text(), "Evil\\x9b2J <b>ISP</b> - Connected.   Device: Modem\\x1b]2;x\\x07");
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
}

TEST_F(Connection, WithoutAnEntryConnectOnStartIsHeldSaidAndKeptAtExit) {
    app.writeIni("[Connection]\r\nAutoConnect=1\r\n");
    app.start();
    EXPECT_FALSE(app.trayItem("connectOnStartOption")->isChecked());
    app.time.advance(5000);
    EXPECT_TRUE(app.dialogs.boxes().empty());
    app.click(control<SkinImage>("connectButton"));
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].caption, "No Connection Set");
    EXPECT_EQ(app.dialogs.boxes()[0].text,
              "Please choose a Connection before attempting to connect.");
    EXPECT_EQ(app.dialogs.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(app.logMessages(),
              QStringList({"OBU Launched",
                           "Connect on Start is set but no connection is chosen; it dials once "
                           "one is"}));
    EXPECT_FALSE(keeper().sessionActive());
    EXPECT_EQ(keeper().state(), LineKeeper::State::Idle);
    // The save at exit keeps it for the entry chosen later.
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("AutoConnect=1\r\n")) << app.iniBytes().constData();
}

TEST_F(Connection, ConnectOnStartHeldWithoutAnEntryGoesWhenTheUserTurnsItOff) {
    app.writeIni("[Connection]\r\nAutoConnect=1\r\n");
    app.start();
    app.time.advance(5000);
    // Shown off: the user's first toggle turns it on, the second off.
    app.program().options().toggle(UserOptions::Option::ConnectOnStart);
    EXPECT_TRUE(app.trayItem("connectOnStartOption")->isChecked());
    app.program().options().toggle(UserOptions::Option::ConnectOnStart);
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("AutoConnect=0\r\n")) << app.iniBytes().constData();
}

TEST_F(Connection, ConnectOnStartDialsWhenTheSplashEnds) {
    app.writeIni("[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n");
    app.start();
    EXPECT_TRUE(app.trayItem("connectOnStartOption")->isChecked());
    app.time.advance(4999);
    EXPECT_FALSE(keeper().sessionActive());
    app.time.advance(1);
    EXPECT_TRUE(keeper().sessionActive());
    EXPECT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
}

TEST_F(Connection, TheTrayItemDisconnectsAndShowsConnectAgain) {
    startWith("Demo ISP");
    app.trayItem("connectItem")->trigger();
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.time.advance(20);  // the drop watch has found the connection
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Disconnect");
    app.trayItem("connectItem")->trigger();
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(connectionCount(), 0);
}

TEST_F(Connection, AModemHeldByAnotherProgramOffersTheExtrasInsteadOfDialing) {
    app.writePhoneBook("[Serial ISP]\nPhoneNumber=555-0199\nDevice=/dev/ttyS9\n");
    QDir().mkpath(app.folder.file("lock"));
    app.folder.write("lock/LCK..ttyS9", QByteArray::number(1).rightJustified(10, ' ') + "\n");
    startWith("Serial ISP");
    app.dialogs.queueAnswer(MsgResult::No);
    app.click(control<SkinImage>("connectButton"));
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].text,
              "OBU has detected that the modem is in use by another application. Would you like "
              "OBU to run "
              "your extras?");
    EXPECT_EQ(app.dialogs.boxes()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(messagesAfterLaunch(), QStringList({"Connect requested by user", "Modem is in use"}));
    EXPECT_FALSE(keeper().sessionActive());
    EXPECT_EQ(keeper().state(), LineKeeper::State::Idle);
    // A lock whose owner has died does not count.
    app.folder.write("lock/LCK..ttyS9", "   999999\n");
    EXPECT_TRUE(keeper().mayDialAtAlarm()) << "the modem counts as free again";
}

// Roads across features: what ran before must never turn the program's own
// dial into a "dropped" line, and every way a call ends ends the session.
TEST_F(Connection, AfterTheDisconnectTimerTheNextDialConnectsOnceWithoutAReconnect) {
    startWith("Demo ISP", "[DTimer]\r\nValue=1\r\n");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    ASSERT_TRUE(app.advanceUntil(
        [&] { return app.logged("Disconnection made by disconnect timer"); }, 70000));
    EXPECT_FALSE(keeper().sessionActive()) << "the program's own hang-up ends the session";
    app.time.advance(1000);

    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil(
        [&] { return app.logMessages().count("Connection established to Demo ISP") == 2; }));
    app.time.advance(15000);
    EXPECT_FALSE(app.logged("Connection Terminated by unknown source"));
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(connectionCount(), 1);
    EXPECT_EQ(app.logMessages().count("Connect requested by user"), 2);
}

TEST_F(Connection, AfterNoDialToneAnotherEntryDialsWithoutAReconnect) {
    startWith("Demo No Dial Tone");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return !app.dialogs.boxes().empty(); }, 30000));
    EXPECT_FALSE(keeper().sessionActive());
    keeper().chooseEntry("Demo ISP", keeper().userName(), keeper().password());
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    app.time.advance(15000);
    EXPECT_FALSE(app.logged("Connection Terminated by unknown source"));
    EXPECT_EQ(connectionCount(), 1);
}

TEST_F(Connection, DisconnectDuringADialEndsTheCall) {
    startWith("Demo ISP");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return !keeper().readyToConnect(); }, 5000));
    ASSERT_FALSE(connected());
    app.click(control<SkinImage>("connectButton"));
    EXPECT_EQ(app.logMessages().last(), "Disconnect requested by user");
    EXPECT_EQ(connectionCount(), 0);
    app.time.advance(30000);
    EXPECT_FALSE(connected()) << "the dial was ended, not left to come up";
    EXPECT_EQ(connectionCount(), 0);
    EXPECT_TRUE(connectFaceShown());
    EXPECT_FALSE(reconnect().isVisible());
}

TEST_F(Connection, AFailedLoginIsShownLoggedAndEndsTheSessionSoTheAlarmDialsAgain) {
    // 21:05:12 at the start; the alarm is set for 21:07.
    startWith("Demo Bad Password", "[Alarm]\r\nDaily=0\r\nTime=6/14/2001 9:07:00  PM\r\n");
    const QString failure =
        "Dial failed (error 691): Access was denied because the user name or password is not "
        "valid.";
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(
        app.advanceUntil([&] { return app.logged("Connection Terminated by OBU"); }, 60000));
    const QStringList log = app.logMessages();
    EXPECT_EQ(log.mid(log.size() - 2), QStringList({failure, "Connection Terminated by OBU"}));
    EXPECT_EQ(control<QLabel>("statusLine")->text(),
              "Dial failed: Access was denied because the user name or password is not valid.");
    EXPECT_TRUE(connectFaceShown());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    EXPECT_TRUE(app.dialogs.boxes().empty()) << "a night-time alarm must not wait on a box";
    app.time.advance(30000);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(app.logMessages().count(failure), 1);

    ASSERT_TRUE(app.advanceUntil(
        [&] { return app.logMessages().count("Connect requested by user") == 2; }, 200000, 1000))
        << "the failed call ended the session, so the alarm dials";
    ASSERT_TRUE(app.advanceUntil([&] { return app.logMessages().count(failure) == 2; }, 60000));
}

TEST_F(Connection, ConnectOnStartKeepsALineThatIsAlreadyUp) {
    const CallId handle = dialFromOutside("Demo ISP");
    app.writeIni("[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n");
    app.start();
    app.time.advance(6000);
    EXPECT_EQ(onlyConnection(), handle);
    EXPECT_FALSE(app.logged("Disconnect requested by user"));
    EXPECT_TRUE(disconnectFaceShown());
    app.lines->dropLine(handle);
    ASSERT_TRUE(app.advanceUntil([&] { return reconnect().isVisible(); }, 1000))
        << "the kept line is watched";
}

TEST_F(Connection, MoreConnectionsThanTheListHoldsAreNoDrop) {
    QByteArray book;
    for (int n = 1; n <= 101; ++n)
        book += "[Line " + QByteArray::number(n) + "]\nDevice=Modem " + QByteArray::number(n) +
                "\nDialDelay=10\n";
    app.writePhoneBook(book);
    startWith("Line 1");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return connected(); }));
    for (int n = 2; n <= 101; ++n) dialFromOutside(("Line " + std::to_string(n)).c_str());
    app.time.advance(2000);
    EXPECT_FALSE(reconnect().isVisible());
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "Line 1 - Connected.   Device: Modem 1");
}
