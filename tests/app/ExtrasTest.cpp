// The extras as a user meets them: the lights and pages of the main window,
// the editor, the launcher after a connection or from the tray, the web page
// entries and help of the tray menu, and the dial-up window minimizer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "gui/desktop/HelpWindow.h"
#include "gui/desktop/QtHelp.h"
#include "gui/extras/BrowseEdit.h"
#include "gui/extras/ExtrasEditor.h"
#include "gui/main/MainWindow.h"
#include "gui/shell/TrayMenu.h"
#include "model/LineKeeper.h"
#include "platform/PosixShell.h"
#include "platform/XdgRegistry.h"
#include "tests/support/AppHarness.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingSound.h"
#include "tests/unit/platform/Recorder.h"

inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name(QColor::HexArgb).toStdString();
}

using namespace obu;
using obu::test::AppHarness;
using obu::test::Recorder;
using obu::test::RecordingShell;
using obu::test::RecordingSound;

// Inside the program's namespace, the fixture's name comes before the model's.
namespace obu::test {

namespace {

// One configured extra of the settings file.
struct Extra {
    int slot;
    QString name;
    QString path;
    bool light;
};

QByteArray extrasIni(const QList<Extra>& extras) {
    QByteArray set = "[Extras Set]\r\n", names = "[Extras Name]\r\n", paths = "[Extras Path]\r\n",
               lights = "[Lights]\r\n";
    for (const Extra& e : extras) {
        const QByteArray n = QByteArray::number(e.slot);
        set += n + "=1\r\n";
        names += n + "=" + e.name.toLatin1() + "\r\n";
        paths += n + "=" + e.path.toLatin1() + "\r\n";
        lights += n + (e.light ? "=1\r\n" : "=0\r\n");
    }
    return set + names + paths + lights;
}

// Records, with every start, the moment and the status line that the user sees.
class WatchingShell : public RecordingShell {
public:
    std::function<void()> onStart;
    Outcome start(const QStringList& command) override {
        if (onStart) onStart();
        return RecordingShell::start(command);
    }
    Outcome open(const QString& target) override {
        if (onStart) onStart();
        return RecordingShell::open(target);
    }
};

struct Extras : ::testing::Test {
    AppHarness app;
    RecordingSound sound;

    Extras() { app.platform.sound = &sound; }

    // Starts the program with these settings and waits out the splash.
    void startWith(const QByteArray& ini) {
        app.writeIni(ini);
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
    ExtrasEditor& editor() { return *app.program().extrasEditor; }
    // Controls found by name, as a user finds them by sight.
    template <class W>
    W* control(QWidget* window, const char* name) {
        return window->findChild<W*>(QLatin1String(name));
    }
    QLabel* webPagesHeading() { return control<QLabel>(&main(), "webPagesHeading"); }
    QLabel* programsHeading() { return control<QLabel>(&main(), "programsHeading"); }
    SkinImage* editorOk() { return control<SkinImage>(&editor(), "okButton"); }
    SkinImage* editorCancel() { return control<SkinImage>(&editor(), "cancelButton"); }
    QLabel* pageArrow() { return control<QLabel>(&editor(), "pageArrow"); }
    QLabel* webPagesText() { return control<QLabel>(&editor(), "webPagesText"); }
    QLabel* programsText() { return control<QLabel>(&editor(), "programsText"); }
    QStringList logSinceLaunch() {
        QStringList m = app.logMessages();
        m.removeFirst();
        return m;
    }
    // The face light n shows: 1 on, 0 off, -1 none of the lights' faces.
    int light(int n) {
        SkinImage* l = main().middlePanel().extraLight(n);
        return l->faceList() == &main().lightFaces() ? l->faceIndex() : -1;
    }
    bool shown(QWidget* w) { return w->isVisibleTo(w->window()); }
    void press(QWidget* w) { QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2)); }
    void release(QWidget* w) {
        QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    }
    int clicks() { return static_cast<int>(sound.waves().count("obuclick.okx")); }
    // The tray's Launch Extras, and the time its pages take.
    void launchFromTray() {
        app.trayItem("launchExtrasItem")->trigger();
        ASSERT_TRUE(app.advanceUntil([&] { return !main().extras().isLaunching(); }, 20000, 1));
    }
};

}  // namespace

// ---------------------------------------------------------------- launcher

TEST_F(Extras, PagesWaitForTheBrowserProgramsFollowAtOnceAllInSlotOrder) {
    WatchingShell shell;
    app.platform.shell = &shell;
    app.registry.set("http", {"/opt/Web Browser/browser", "--new-window", "%u"});
    startWith(extrasIni({{1, "One", "http://one.example/", false},
                         {2, "Two", "http://two.example/", true},
                         {3, "Three", "http://three.example/", false},
                         {4, "Four", "http://four.example/", true},
                         {5, "Five", "/usr/bin/five", false},
                         {6, "Six", "/usr/bin/six", true}}));
    QList<qint64> at;
    QStringList status, logAtStart;
    shell.onStart = [&] {
        at << app.time.elapsedMs();
        status << control<QLabel>("statusLine")->text();
        logAtStart << app.logMessages().last();
    };
    const qint64 t0 = app.time.elapsedMs();
    launchFromTray();
    EXPECT_EQ(app.time.elapsedMs(), t0 + 6000);

    ASSERT_EQ(shell.calls.size(), 3);
    EXPECT_EQ(shell.calls[0].kind, RecordingShell::Call::Start);
    EXPECT_EQ(shell.calls[0].command,
              QStringList({"/opt/Web Browser/browser", "--new-window", "http://two.example/"}));
    EXPECT_EQ(shell.calls[1].command,
              QStringList({"/opt/Web Browser/browser", "--new-window", "http://four.example/"}));
    EXPECT_EQ(shell.calls[2].kind, RecordingShell::Call::Open);
    EXPECT_EQ(shell.calls[2].target, "/usr/bin/six");
    EXPECT_EQ(at, (QList<qint64>{t0 + 3000, t0 + 6000, t0 + 6000}))
        << "3 s before each page, none before a program";
    EXPECT_EQ(status, QStringList({"Launching Webpage: Two", "Launching Webpage: Four",
                                   "Launching Program: Six"}));
    EXPECT_EQ(logAtStart, QStringList({"Launching extras", "Two launched", "Four launched"}))
        << "each line follows its start";
    EXPECT_EQ(logSinceLaunch(),
              QStringList({"Launching extras", "Two launched", "Four launched", "Six launched"}));
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "Launching Program: Six")
        << "the last text stays";
    EXPECT_TRUE(main().isVisible()) << "\"Minimize OBU on Connect\" is off";
}

TEST_F(Extras, AfterAConnectionThePagesStartWhileTheProgramGoesOnAndTheWindowThenGoesToTheTray) {
    app.registry.set("http", {"/usr/bin/browser", "%u"});
    startWith(
        "[Connection]\r\nName=Demo ISP\r\n[Options]\r\nMinimize=1\r\n" +
        extrasIni({{1, "Pages", "http://one.example/", true}, {5, "Mail", "/usr/bin/mail", true}}));
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
    EXPECT_TRUE(app.shell.calls.isEmpty()) << "the page waits for the browser";
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(keeper().watchingForDrop()) << "the connection's own follow-ups do not wait";
    ASSERT_TRUE(app.advanceUntil([&] { return !main().extras().isLaunching(); }, 10000));
    EXPECT_EQ(
        logSinceLaunch(),
        QStringList({"Connect requested by user", "Sending username/password",
                     "Username/Password authenticated by server", "Launching extras",
                     "Connection established to Demo ISP", "Pages launched", "Mail launched"}));
    ASSERT_EQ(app.shell.calls.size(), 2);
    EXPECT_EQ(app.shell.calls[0].command, QStringList({"/usr/bin/browser", "http://one.example/"}));
    EXPECT_FALSE(main().isVisible()) << "minimized into the tray";
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Show OBU");
}

TEST_F(Extras, WithNoLightOnOnlyTheFirstLineIsWrittenAndTheWindowStillMinimizes) {
    startWith("[Options]\r\nMinimize=1\r\n" +
              extrasIni({{1, "One", "http://one.example/", false}}));
    control<QLabel>("statusLine")->setText("as it was");
    const qint64 t0 = app.time.elapsedMs();
    launchFromTray();
    EXPECT_EQ(logSinceLaunch(), QStringList({"Launching extras"}));
    EXPECT_TRUE(app.shell.calls.isEmpty());
    EXPECT_EQ(app.time.elapsedMs(), t0) << "no wait without a page";
    EXPECT_EQ(control<QLabel>("statusLine")->text(), "as it was");
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Show OBU");
}

// ------------------------------------------------------ start-up and lights

TEST_F(Extras, OnlySlotsWithAPathTakeTheirSavedLight) {
    startWith(
        "[Extras Set]\r\n1=1\r\n2=0\r\n3=1\r\n5=1\r\n6=1\r\n"
        "[Extras Name]\r\n1=One\r\n2=Two\r\n3=Three\r\n5=Five\r\n6=Six\r\n"
        "[Extras "
        "Path]\r\n1=http://one.example/\r\n2=http://two.example/\r\n3=\r\n5=/usr/bin/five\r\n"
        "6=/usr/bin/six\r\n"
        "[Lights]\r\n1=1\r\n2=1\r\n3=1\r\n4=1\r\n5=0\r\n6=1\r\n7=1\r\n8=1\r\n");
    // Slot 2 is not set, slot 3 has no path, slots 4, 7 and 8 are not in the file.
    const int lights[] = {1, 0, 0, 0, 0, 1, 0, 0};
    const bool enabled[] = {true, false, false, false, true, true, false, false};
    const QStringList names = {"One",  "Not Set Yet", "Not Set Yet", "Not Set Yet",
                               "Five", "Six",         "Not Set Yet", "Not Set Yet"};
    for (int n = 1; n <= obu::Extras::kSlots; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(light(n), lights[n - 1]);
        EXPECT_EQ(main().middlePanel().extraLight(n)->isEnabled(), enabled[n - 1]);
        EXPECT_EQ(main().middlePanel().extraNameLabel(n)->text(), names[n - 1]);
    }
    launchFromTray();
    EXPECT_EQ(logSinceLaunch(), QStringList({"Launching extras", "One launched", "Six launched"}));

    app.exit();
    EXPECT_TRUE(app.iniBytes().contains(
        "[Lights]\r\n1=1\r\n2=0\r\n3=0\r\n4=0\r\n5=0\r\n6=1\r\n7=0\r\n8=0\r\n"));
}

TEST_F(Extras, ALightTogglesOnAPressAndItsStateLastsUntilTheNextStart) {
    app.registry.set("http", {"/usr/bin/browser"});
    startWith(extrasIni({{1, "One", "http://one.example/", true}}));
    app.click(control<QLabel>("downArrow"));
    ASSERT_TRUE(shown(main().middlePanel().extraLight(1)));
    EXPECT_EQ(main().middlePanel().extraLight(1)->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(main().middlePanel().extraLight(1)->toolTip(), "toggle on/off");
    const int before = clicks();

    press(main().middlePanel().extraLight(1));
    EXPECT_EQ(light(1), 0);
    EXPECT_EQ(clicks(), before + 1);
    release(main().middlePanel().extraLight(1));
    EXPECT_EQ(light(1), 0) << "the release does nothing";
    QTest::mousePress(main().middlePanel().extraLight(1), Qt::RightButton);
    EXPECT_EQ(light(1), 1) << "any button toggles";
    press(main().middlePanel().extraLight(2));
    EXPECT_EQ(light(2), 0) << "an unconfigured light does not react";
    launchFromTray();
    EXPECT_EQ(logSinceLaunch(), QStringList({"Launching extras", "One launched"}));

    app.click(main().middlePanel().extraLight(1));
    EXPECT_EQ(light(1), 0);
    EXPECT_TRUE(app.iniBytes().contains("[Lights]\r\n1=1\r\n")) << "a toggle stays in memory";
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("[Lights]\r\n1=0\r\n"));

    AppHarness again;
    again.writeIni(app.iniBytes());
    again.start();
    EXPECT_EQ(again.main().middlePanel().extraLight(1)->faceIndex(), 0);
    EXPECT_TRUE(again.main().middlePanel().extraLight(1)->isEnabled());
    again.trayItem("launchExtrasItem")->trigger();
    EXPECT_EQ(again.logMessages(), QStringList({"OBU Launched", "Launching extras"}));
}

TEST_F(Extras, TheArrowsStepThroughTheThreePages) {
    startWith(
        extrasIni({{1, "One", "http://one.example/", true}, {5, "Five", "/usr/bin/five", false}}));
    // What the middle panel shows: its captions, arrows, and lights and names by slot.
    auto page = [&] {
        QStringList seen;
        for (const char* role : {"entryCaption", "connectionName", "alarmCaption", "alarmTimeLabel",
                                 "webPagesHeading", "programsHeading", "downArrow", "upArrow"})
            if (shown(control<QLabel>(role))) seen << role;
        for (int n = 1; n <= obu::Extras::kSlots; ++n) {
            if (shown(main().middlePanel().extraLight(n))) seen << QString("light%1").arg(n);
            if (shown(main().middlePanel().extraNameLabel(n))) seen << QString("name%1").arg(n);
        }
        return seen.join(' ');
    };
    const QString information = "entryCaption connectionName alarmCaption alarmTimeLabel downArrow";
    const QString webPages =
        "webPagesHeading downArrow upArrow light1 name1 light2 name2 light3 name3 light4 name4";
    const QString programs =
        "programsHeading upArrow light5 name5 light6 name6 light7 name7 light8 name8";
    EXPECT_EQ(page(), information);
    app.click(control<QLabel>("downArrow"));
    EXPECT_EQ(page(), webPages);
    EXPECT_EQ(main().middlePanel().extraNameLabel(1)->text(), "One");
    app.click(control<QLabel>("downArrow"));
    EXPECT_EQ(page(), programs);
    EXPECT_EQ(main().middlePanel().extraNameLabel(5)->text(), "Five");
    app.click(control<QLabel>("upArrow"));
    EXPECT_EQ(page(), webPages);
    app.click(control<QLabel>("upArrow"));
    EXPECT_EQ(page(), information);
    EXPECT_EQ(clicks(), 4);

    // The press look: one pixel right and down while the button is held.
    press(control<QLabel>("downArrow"));
    EXPECT_EQ(control<QLabel>("downArrow")->pos(), QPoint(373, 129));
    release(control<QLabel>("downArrow"));
    EXPECT_EQ(control<QLabel>("downArrow")->pos(), QPoint(372, 128));
    press(control<QLabel>("downArrow"));  // web pages -> programs hides the arrow under the mouse
    EXPECT_EQ(page(), programs);
    release(control<QLabel>("downArrow"));
    app.click(control<QLabel>("upArrow"));
    EXPECT_EQ(control<QLabel>("downArrow")->pos(), QPoint(372, 128))
        << "the hidden arrow came back to its place";
    EXPECT_EQ(control<QLabel>("upArrow")->pos(), QPoint(372, 14));

    // The arrows work while the window is hidden in the tray too.
    main().hide();
    main().middlePanel().pressDownArrow();
    EXPECT_EQ(page(), programs);
    main().middlePanel().pressUpArrow();
    main().middlePanel().pressUpArrow();
    EXPECT_EQ(page(), information);
}

TEST_F(Extras, TheSettingsPanelDisablesTheArrowsAndTheExtrasButton) {
    startWith({});
    app.click(control<SkinImage>("connectionButton"));
    EXPECT_FALSE(control<QLabel>("downArrow")->isEnabled());
    app.click(control<QLabel>("downArrow"));
    EXPECT_FALSE(shown(webPagesHeading())) << "a disabled arrow does not page";
    app.click(control<SkinImage>("extrasButton"));
    EXPECT_FALSE(editor().isVisible());
}

// ------------------------------------------------------------------ editor

TEST_F(Extras, TheEditorShowsTheTableOnTwoPagesWithProgramNamePlaceholders) {
    startWith(
        extrasIni({{1, "One", "http://one.example/", true}, {6, "Six", "/usr/bin/six", false}}));
    app.click(control<SkinImage>("extrasButton"));
    ExtrasEditor& e = editor();
    ASSERT_TRUE(e.isVisible());
    EXPECT_FALSE(e.isModal());
    EXPECT_EQ(e.windowTitle(), "Edit Extras");
    EXPECT_EQ(e.size(), QSize(464, 215));
    EXPECT_FALSE(e.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(e.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    const QStringList names = {
        "One", "Webpage Name 2", "Webpage Name 3", "Webpage Name 4", "Program Name 1",
        "Six", "Program Name 3", "Program Name 4"};
    const QStringList paths = {"http://one.example/", "http://", "http://", "http://", "",
                               "/usr/bin/six",        "",        ""};
    for (int n = 1; n <= obu::Extras::kSlots; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(e.nameEdit(n)->text(), names[n - 1]);
        EXPECT_EQ(e.pathEdit(n)->text(), paths[n - 1]);
        EXPECT_EQ(shown(e.nameEdit(n)), obu::Extras::isWebPage(n));
        EXPECT_EQ(shown(e.pathEdit(n)), obu::Extras::isWebPage(n));
        EXPECT_EQ(e.nameEdit(n)->geometry(), QRect(58, 72 + 24 * ((n - 1) % 4), 105, 21));
        EXPECT_EQ(e.pathEdit(n)->geometry(), QRect(188, 72 + 24 * ((n - 1) % 4), 209, 21));
    }
    EXPECT_TRUE(shown(webPagesText()));
    EXPECT_FALSE(shown(programsText()));
    EXPECT_EQ(pageArrow()->text(), QString(QChar(0x2193)));

    // Tab goes name, then address, row by row.
    QStringList order;
    QWidget* w = e.nameEdit(1);
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
        while (!w->objectName().startsWith("webPage") && !w->objectName().startsWith("program"))
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    EXPECT_EQ(order,
              QStringList({"webPageName1", "webPageAddress1", "webPageName2", "webPageAddress2",
                           "webPageName3", "webPageAddress3", "webPageName4", "webPageAddress4"}));
    // Web page names have no placeholder handling.
    QApplication::setActiveWindow(&e);
    e.nameEdit(2)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(e.nameEdit(2)->hasFocus());
    EXPECT_EQ(e.nameEdit(2)->text(), "Webpage Name 2");

    // The arrow turns to the program rows on its press, with a click.
    const int before = clicks();
    press(pageArrow());
    EXPECT_EQ(pageArrow()->pos(), QPoint(73, 169));
    release(pageArrow());
    EXPECT_EQ(pageArrow()->pos(), QPoint(72, 168));
    EXPECT_EQ(clicks(), before + 1);
    EXPECT_EQ(pageArrow()->text(), QString(QChar(0x2191)));
    for (int n = 1; n <= obu::Extras::kSlots; ++n) {
        EXPECT_EQ(shown(e.nameEdit(n)), !obu::Extras::isWebPage(n)) << n;
        EXPECT_EQ(shown(e.pathEdit(n)), !obu::Extras::isWebPage(n)) << n;
    }
    EXPECT_TRUE(shown(programsText()));
    EXPECT_FALSE(shown(webPagesText()));

    // A program row's placeholder name goes on entering and comes back only without a file.
    e.nameEdit(5)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(e.nameEdit(5)->hasFocus());
    EXPECT_EQ(e.nameEdit(5)->text(), "");
    e.nameEdit(6)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e.nameEdit(5)->text(), "Program Name 1") << "back, since its file is empty too";
    EXPECT_EQ(e.nameEdit(6)->text(), "Six");
    e.nameEdit(6)->clear();
    e.nameEdit(7)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e.nameEdit(6)->text(), "") << "a row with a file keeps its empty name";
    e.nameEdit(7)->setText("Thirteen");
    e.nameEdit(8)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e.nameEdit(7)->text(), "Thirteen");
    e.nameEdit(8)->setText("Program Name 3");
    e.nameEdit(5)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e.nameEdit(8)->text(), "Program Name 3") << "only a row's own placeholder goes";
    e.nameEdit(8)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(e.nameEdit(8)->text(), "Program Name 3");

    app.click(pageArrow());
    EXPECT_TRUE(shown(e.nameEdit(1)));
    // Every show starts on the web page rows.
    app.click(pageArrow());
    app.click(editorCancel());
    app.click(control<SkinImage>("extrasButton"));
    EXPECT_TRUE(shown(e.nameEdit(1)));
    EXPECT_FALSE(shown(e.nameEdit(5)));
}

TEST_F(Extras, OkClearsKeepsOrStoresEachRowAndWritesEverySlot) {
    startWith(extrasIni({{1, "One", "http://one.example/", true},
                         {2, "Two", "http://two.example/", true},
                         {5, "Five", "/usr/bin/five", true},
                         {7, "Seven", "/usr/bin/seven", false},
                         {8, "Eight", "/usr/bin/eight", false}}));
    // OK with nothing changed changes no light and writes the same values.
    const int lightsBefore[] = {1, 1, 0, 0, 1, 0, 0, 0};
    app.click(control<SkinImage>("extrasButton"));
    app.click(editorOk());
    const QByteArray unchanged = app.iniBytes();
    app.click(control<SkinImage>("extrasButton"));
    app.click(editorOk());
    EXPECT_EQ(app.iniBytes(), unchanged);
    for (int n = 1; n <= obu::Extras::kSlots; ++n) EXPECT_EQ(light(n), lightsBefore[n - 1]) << n;

    app.click(control<SkinImage>("extrasButton"));
    ExtrasEditor& e = editor();
    // The main window stays usable meanwhile: light 1 is switched off.
    app.click(control<QLabel>("downArrow"));
    app.click(main().middlePanel().extraLight(1));
    ASSERT_EQ(light(1), 0);
    // 1 renamed; 2 back to the empty address; 3 an address in capitals only;
    // 5 its file emptied; 6 a file under the row's placeholder name; 7 its
    // name emptied; 8 unchanged.
    e.nameEdit(1)->setText("Renamed");
    e.pathEdit(2)->setText("http://");
    e.nameEdit(3)->setText("Three");
    e.pathEdit(3)->setText("HTTP://");
    e.programFileEdit(5)->clear();
    e.programFileEdit(6)->setText("/usr/bin/six");
    e.nameEdit(7)->clear();
    const int before = clicks();
    app.click(editorOk());
    EXPECT_FALSE(e.isVisible());
    EXPECT_EQ(clicks(), before + 1);

    // A stored row's light is on, a cleared row's off and unusable, a kept row's as it was.
    const int lights[] = {1, 0, 1, 0, 0, 1, 1, 0};
    const bool enabled[] = {true, false, true, false, false, true, true, true};
    const QStringList names = {"Renamed",     "Not Set Yet",    "Three", "Not Set Yet",
                               "Not Set Yet", "Program Name 2", "",      "Eight"};
    for (int n = 1; n <= obu::Extras::kSlots; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(light(n), lights[n - 1]);
        EXPECT_EQ(main().middlePanel().extraLight(n)->isEnabled(), enabled[n - 1]);
        EXPECT_EQ(main().middlePanel().extraNameLabel(n)->text(), names[n - 1]);
    }
    const QByteArray ini = app.iniBytes();
    EXPECT_TRUE(
        ini.contains("[Extras Set]\r\n1=1\r\n2=0\r\n5=0\r\n7=1\r\n8=1\r\n3=1\r\n4=0\r\n6=1\r\n"))
        << ini.constData();
    EXPECT_TRUE(
        ini.contains("[Extras Name]\r\n1=Renamed\r\n2=\r\n5=\r\n7=\r\n8=Eight\r\n"
                     "3=Three\r\n4=\r\n6=Program Name 2\r\n"))
        << ini.constData();
    EXPECT_TRUE(
        ini.contains("[Extras Path]\r\n1=http://one.example/\r\n2=\r\n5=\r\n"
                     "7=/usr/bin/seven\r\n8=/usr/bin/eight\r\n3=HTTP://\r\n4=\r\n"
                     "6=/usr/bin/six\r\n"))
        << ini.constData();
    app.registry.set("http", {"/usr/bin/browser"});
    launchFromTray();
    EXPECT_EQ(logSinceLaunch(),
              QStringList({"Launching extras", "Renamed launched", "Three launched",
                           "Program Name 2 launched", " launched"}));
}

TEST_F(Extras, CancelStoresNothingAndTheNextShowRefillsTheRowsFromTheFile) {
    startWith(extrasIni({{1, "One", "http://one.example/", true}}));
    app.click(control<SkinImage>("extrasButton"));
    editor().nameEdit(1)->setText("Changed");
    editor().pathEdit(1)->setText("http://changed.example/");
    const int before = clicks();
    app.click(editorCancel());
    EXPECT_FALSE(editor().isVisible());
    EXPECT_EQ(clicks(), before + 1);
    EXPECT_EQ(main().middlePanel().extraNameLabel(1)->text(), "One");
    EXPECT_FALSE(app.iniBytes().contains("Changed"));

    // The file is edited outside while the window is in the tray; the tray's
    // "Extras" brings both windows up with what the file holds now.
    app.trayItem("hideShowItem")->trigger();
    app.writeIni(extrasIni({{1, "Edited outside", "http://outside.example/", true}}));
    app.trayItem("extrasItem")->trigger();
    EXPECT_TRUE(main().isVisible());
    ASSERT_TRUE(editor().isVisible());
    EXPECT_EQ(editor().nameEdit(1)->text(), "Edited outside");
    EXPECT_EQ(editor().pathEdit(1)->text(), "http://outside.example/");
    EXPECT_EQ(main().extras().slot(1).path, "http://outside.example/");

    // Asked for again while it is shown, it keeps the user's edits.
    editor().nameEdit(1)->setText("Unsaved");
    app.click(control<SkinImage>("extrasButton"));
    EXPECT_EQ(editor().nameEdit(1)->text(), "Unsaved");

    // "Hide OBU" takes the editor along.
    app.trayItem("hideShowItem")->trigger();
    EXPECT_FALSE(editor().isVisible());
}

TEST_F(Extras, ATextLongerThan255CharactersIsRefusedWithAWordNotCut) {
    const QString longPath = "/opt/" + QString(295, u'p');
    app.registry.set("http", {"/usr/bin/browser"});
    startWith(extrasIni({{6, "Six", longPath, true}}));
    const QString longUrl = "http://long.example/" + QString(307, u'u');
    app.click(control<SkinImage>("extrasButton"));
    editor().pathEdit(1)->selectAll();
    editor().pathEdit(1)->insert(longUrl);  // as a paste does
    EXPECT_EQ(editor().pathEdit(1)->text(), longUrl);
    app.click(editorOk());
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].caption, "Edit Extras");
    EXPECT_EQ(app.dialogs.boxes()[0].text,
              "The address of webpage 1 is 327 characters long; an extra holds at most 255. "
              "Please shorten it.");
    EXPECT_TRUE(editor().isVisible());
    EXPECT_FALSE(main().extras().slot(1).set);
    EXPECT_FALSE(app.iniBytes().contains("long.example"));

    // A file name too long for the table, written into the file by hand, is
    // shown whole and refused too until it fits.
    editor().pathEdit(1)->setText(longUrl.left(255));
    EXPECT_EQ(editor().programFileEdit(6)->text(), longPath);
    app.click(editorOk());
    ASSERT_EQ(app.dialogs.boxes().size(), 2u);
    EXPECT_TRUE(app.dialogs.boxes()[1].text.startsWith(
        "The file name of program 2 is 300 characters long"));
    EXPECT_TRUE(editor().showsPrograms());
    editor().programFileEdit(6)->setText("/usr/bin/six");
    app.click(editorOk());
    EXPECT_FALSE(editor().isVisible());
    EXPECT_EQ(main().extras().slot(1).path, longUrl.left(255));
    EXPECT_EQ(main().extras().slot(6).path, "/usr/bin/six");
}

// ------------------------------------------------------------- browse edit

TEST_F(Extras, TheBrowseButtonPicksAProgramAndSelectsIt) {
    startWith({});
    app.click(control<SkinImage>("extrasButton"));
    app.click(pageArrow());
    BrowseEdit* be = editor().programFileEdit(5);
    be->setText("/old/program");
    app.dialogs.queueFile("/usr/local/bin/mail client");
    app.click(be->button());
    EXPECT_EQ(be->text(), "/usr/local/bin/mail client");
    EXPECT_EQ(be->selectedText(), "/usr/local/bin/mail client");
    ASSERT_EQ(app.dialogs.fileRequests.size(), 1u);
    const OpenFileRequest& request = app.dialogs.fileRequests[0];
    EXPECT_EQ(request.nameFilters, QStringList({"All executable files (*)", "Programs (*.exe)"}));
    EXPECT_TRUE(request.executablesOnly);
    EXPECT_EQ(request.defaultExtension, "") << "no \".exe\" is added to a Linux program's name";
    EXPECT_EQ(request.initialFolder, QDir::homePath());

    app.click(be->button());  // cancelled
    EXPECT_EQ(be->text(), "/usr/local/bin/mail client");
    app.click(editorOk());
    EXPECT_EQ(main().extras().slot(5).path, "/usr/local/bin/mail client");
    EXPECT_EQ(main().middlePanel().extraNameLabel(5)->text(), "Program Name 1");
}

TEST(BrowseEdit, EnterBeepsAndChangesNothing) {
    BrowseEdit edit;
    edit.resize(209, 21);
    int beeps = 0;
    edit.Beep = [&] { ++beeps; };
    edit.setText("/usr/bin/mail");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Enter);
    EXPECT_EQ(edit.text(), "/usr/bin/mail");
    EXPECT_EQ(beeps, 2);
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(edit.text(), "/usr/bin/mailx");
    EXPECT_EQ(beeps, 2);
}

TEST(BrowseEdit, TheButtonSitsAtTheRightInsideTheFrameAndTextStopsBeforeIt) {
    BrowseEdit edit;
    edit.resize(209, 21);
    edit.show();
    const QRect button = edit.button()->geometry();
    EXPECT_EQ(button.width(), 16);
    EXPECT_EQ(button.right(), edit.width() - 1 - (edit.height() - button.height()) / 2);
    EXPECT_EQ(button.top(), (edit.height() - button.height()) / 2);
    EXPECT_LE(button.height(), edit.height());
    EXPECT_GE(button.height(), edit.height() - 6);
    EXPECT_EQ(edit.textMargins().right(), 16);
    EXPECT_EQ(edit.button()->cursor().shape(), Qt::ArrowCursor);
}

TEST(BrowseEdit, TheCaretIsOnePixelWideAndFourPixelsShorterThanTheInside) {
    BrowseEdit edit;
    edit.resize(209, 21);
    edit.setText("abc");
    edit.show();
    QApplication::setActiveWindow(&edit);
    edit.setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(edit.hasFocus());
    edit.setCursorPosition(0);
    const QRect atStart = edit.caretRect();
    const int inside = edit.button()->height();
    EXPECT_EQ(atStart.width(), 1);
    EXPECT_EQ(atStart.height(), inside - 4);
    edit.setCursorPosition(3);
    const QRect atEnd = edit.caretRect();
    EXPECT_EQ(atEnd.x() - atStart.x(), edit.fontMetrics().horizontalAdvance("abc"));
    const QImage picture = edit.grab().toImage();
    EXPECT_EQ(picture.pixelColor(atEnd.x(), atEnd.center().y()),
              edit.palette().color(QPalette::Text));
    edit.clearFocus();
    EXPECT_TRUE(edit.caretRect().isEmpty());
}

TEST(BrowseEdit, AClickOnTheButtonFocusesTheEditAndARemovedDialogIsForgotten) {
    test::ScriptedDialogs dialogs;
    auto* dialog = new OpenDialog(dialogs);
    BrowseEdit edit;
    edit.resize(209, 21);
    edit.show();
    QApplication::setActiveWindow(&edit);
    edit.dialog = dialog;
    dialogs.queueFile("/bin/true");
    QTest::mouseClick(edit.button(), Qt::LeftButton);
    EXPECT_TRUE(edit.hasFocus());
    EXPECT_EQ(edit.text(), "/bin/true");
    delete dialog;
    EXPECT_TRUE(edit.dialog.isNull());
    QTest::mouseClick(edit.button(), Qt::LeftButton);
    EXPECT_EQ(edit.text(), "/bin/true");
    EXPECT_EQ(dialogs.fileRequests.size(), 1u);
}

TEST(BrowseEdit, TheButtonIsDrawnInTheSystemButtonColours) {
    BrowseEdit edit;
    edit.resize(209, 21);
    edit.show();
    QPalette pal = edit.button()->palette();
    pal.setColor(QPalette::Button, QColor(200, 200, 200));
    pal.setColor(QPalette::Midlight, QColor(230, 230, 230));
    pal.setColor(QPalette::Light, QColor(255, 255, 255));
    pal.setColor(QPalette::Shadow, QColor(0, 0, 0));
    pal.setColor(QPalette::Dark, QColor(128, 128, 128));
    pal.setColor(QPalette::ButtonText, QColor(10, 20, 30));
    edit.button()->setPalette(pal);
    const TBrowseButton::Colours c = edit.button()->colours();
    const int w = edit.button()->width(), h = edit.button()->height();

    QImage up = edit.button()->grab().toImage();
    EXPECT_EQ(up.pixelColor(0, 0), c.light3d);
    EXPECT_EQ(up.pixelColor(0, h - 2), c.light3d);
    EXPECT_EQ(up.pixelColor(w - 2, 0), c.light3d);
    EXPECT_EQ(up.pixelColor(1, 1), c.highlight);
    EXPECT_EQ(up.pixelColor(w - 3, 1), c.highlight);
    EXPECT_EQ(up.pixelColor(0, h - 1), c.darkShadow);
    EXPECT_EQ(up.pixelColor(w - 1, 0), c.darkShadow);
    EXPECT_EQ(up.pixelColor(w - 1, h - 1), c.darkShadow);
    EXPECT_EQ(up.pixelColor(1, h - 2), c.shadow);
    EXPECT_EQ(up.pixelColor(w - 2, 1), c.shadow);
    EXPECT_EQ(up.pixelColor(w / 2, h / 2 - 2), c.face);
    for (int x : {4, 7, 10}) EXPECT_EQ(up.pixelColor(x, h - 5), c.text) << x;
    for (int x : {5, 6, 8, 9, 11}) EXPECT_EQ(up.pixelColor(x, h - 5), c.face) << x;

    edit.button()->setDown(true);
    QImage down = edit.button()->grab().toImage();
    EXPECT_EQ(down.pixelColor(0, 0), c.shadow);
    EXPECT_EQ(down.pixelColor(w - 1, h - 1), c.shadow);
    EXPECT_EQ(down.pixelColor(1, 1), c.face);
    for (int x : {5, 8, 11}) EXPECT_EQ(down.pixelColor(x, h - 4), c.text) << x;
    edit.button()->setDown(false);

    edit.setEnabled(false);
    QImage disabled = edit.button()->grab().toImage();
    for (int x : {4, 7, 10}) {
        EXPECT_EQ(disabled.pixelColor(x, h - 5), c.shadow) << x;
        EXPECT_EQ(disabled.pixelColor(x + 1, h - 4), c.highlight) << x;
    }
}

// ------------------------------------------------------- tray: web and help

TEST_F(Extras, TheWebPageEntriesOpenTheMakersAndTheProductsPages) {
    app.registry.set("https", {"/opt/Web Browser/browser", "--new-window", "%u"});
    startWith({});
    app.trayItem("studioPageItem")->trigger();
    app.trayItem("obuPageItem")->trigger();
    ASSERT_EQ(app.shell.calls.size(), 2);
    EXPECT_EQ(app.shell.calls[0].command,
              QStringList({"/opt/Web Browser/browser", "--new-window", WebPageOpener::MakerPage}));
    EXPECT_EQ(app.shell.calls[1].command, QStringList({"/opt/Web Browser/browser", "--new-window",
                                                       WebPageOpener::ProductPage}));
    EXPECT_TRUE(app.dialogs.boxes().empty());

    // Without a browser the desktop's opener gets the page; a failure is not said.
    app.registry.remove("https");
    app.shell.openOutcome = Shell::Outcome::NoApplication;
    app.trayItem("obuPageItem")->trigger();
    ASSERT_EQ(app.shell.calls.size(), 3);
    EXPECT_EQ(app.shell.calls[2].kind, RecordingShell::Call::Open);
    EXPECT_EQ(app.shell.calls[2].target, WebPageOpener::ProductPage);
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST_F(Extras, HelpShowsTheGuideBesideTheProgramOrSaysItIsNotFound) {
    startWith({});
    app.trayItem("helpItem")->trigger();
    EXPECT_EQ(app.help.requests, QStringList({app.folder.file("help.hlp")}));
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].text, "Help File Not Found!");
    EXPECT_EQ(app.dialogs.boxes()[0].caption, "OBU v1.3");
    EXPECT_EQ(app.dialogs.boxes()[0].icon, MsgIcon::None);
    EXPECT_EQ(app.dialogs.boxes()[0].buttons, MsgButtons::Ok);

    app.folder.write("help.hlp", "# Guide\n");
    app.trayItem("helpItem")->trigger();
    EXPECT_EQ(app.help.shown, QStringList({app.folder.file("help.hlp")}));
    EXPECT_EQ(app.dialogs.boxes().size(), 1u);
}

TEST(HelpWindow, ShowsTheShippedGuideAndRefusesWhatIsNoGuide) {
    const QString guide = QCoreApplication::applicationDirPath() + "/../bin/help.hlp";
    ASSERT_TRUE(QFile::exists(guide)) << "the build puts the guide beside the program";
    QFile file(guide);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* topic :
         {"tray menu", "Connect", "Set Alarm", "Make Daily", "Extras", "Launch Extras",
          "Disconnect Timer", "Minimize DUN on Connect", "Redial if Line is Busy", "obu.ini",
          "log.txt", "Demo ISP", "obu-line", "--headless", "Reconnect"})
        EXPECT_TRUE(text.contains(QLatin1String(topic))) << topic;

    QtHelp help;
    ASSERT_TRUE(help.showContents(guide));
    HelpWindow* window = help.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Obu Linekeeper Help");
    EXPECT_TRUE(window->browser()->toPlainText().contains("Launch Extras"));
    EXPECT_FALSE(window->browser()->toPlainText().contains("## ")) << "Markdown is shown formatted";
    // The contents links to the sections.
    window->browser()->verticalScrollBar()->setValue(0);
    window->browser()->setSource(QUrl("#the-obu-line-tool"));
    EXPECT_GT(window->browser()->verticalScrollBar()->value(), 0);

    QTemporaryDir dir;
    EXPECT_FALSE(help.showContents(dir.filePath("missing.hlp")));
    EXPECT_FALSE(help.showContents(dir.path())) << "a folder is no help file";
    QFile html(dir.filePath("page.hlp"));
    html.open(QIODevice::WriteOnly);
    html.write("<html><body><h1>Other guide</h1></body></html>");
    html.close();
    EXPECT_TRUE(help.showContents(html.fileName()));
    EXPECT_EQ(window->browser()->toPlainText().trimmed(), "Other guide");
    EXPECT_EQ(help.window(), window) << "one window, brought forward again";
}

// ----------------------------------------------------- dial-up window

TEST_F(Extras, TheDialUpWindowIsMinimizedWhenItComesUpAfterTheConnection) {
    startWith("[Connection]\r\nName=Demo ISP\r\n[Options]\r\nMinimize Dun=1\r\n");
    const auto decoy = app.windows.open("Connected to Demo ISP 2");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
    app.time.advance(2000);
    EXPECT_GT(app.windows.searchedTitles.size(), 100) << "still looking";
    EXPECT_EQ(app.windows.searchedTitles.last(), "Connected to Demo ISP");
    emit keeper().connected();  // a further connect changes nothing

    const auto dun = app.windows.open("CONNECTED TO DEMO ISP");
    app.time.advance(20);
    EXPECT_TRUE(app.windows.isMinimized(dun));
    EXPECT_FALSE(app.windows.isMinimized(decoy));
    EXPECT_EQ(app.windows.minimizeRequests, QList<test::FakeWindows::Handle>({dun}));
    const auto searches = app.windows.searchedTitles.size();
    app.time.advance(1000);
    EXPECT_EQ(app.windows.searchedTitles.size(), searches) << "the search has ended";
}

TEST_F(Extras, WithTheOptionOffTheDialUpWindowIsLeftAlone) {
    startWith("[Connection]\r\nName=Demo ISP\r\n");
    const auto dun = app.windows.open("Connected to Demo ISP");
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to Demo ISP"); }));
    app.time.advance(1000);
    EXPECT_TRUE(app.windows.searchedTitles.isEmpty());
    EXPECT_FALSE(app.windows.isMinimized(dun));
}

TEST_F(Extras, ALongEntryNameIsSearchedForWhole) {
    const QString entry =
        "A phone book entry whose name is much longer than sixty-six characters in all";
    app.writePhoneBook("[" + entry.toLatin1() + "]\nPhoneNumber=555-0100\n");
    startWith("[Connection]\r\nName=" + entry.toLatin1() + "\r\n[Options]\r\nMinimize Dun=1\r\n");
    const auto cut = app.windows.open(("Connected to " + entry).left(79));
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return app.logged("Connection established to " + entry); }));
    app.time.advance(100);
    EXPECT_FALSE(app.windows.isMinimized(cut));
    const auto whole = app.windows.open("Connected to " + entry);
    app.time.advance(20);
    EXPECT_TRUE(app.windows.isMinimized(whole));
}

// ------------------------------------------------------- real processes

TEST_F(Extras, RealProgramsStartWithTheirHostilePathsAndAddressesWhole) {
    Recorder recorder;
    const QString pwned = recorder.folder() + "/pwned";
    PosixShell posix;
    app.platform.shell = &posix;
    app.registry.set("http", {recorder.program()});

    const QString program = recorder.makeProgram("it's \"a\" $(touch " + pwned + "); program");
    const QString longUrl = "http://long.example/?" + QString(300, u'q');
    const QList<Extra> extras = {
        {1, "a; touch " + pwned, "http://a.example/?q=\"x y\"&r=$(touch " + pwned + ");`id`", true},
        {2, "$(touch " + pwned + ")", "http://b.example/ two words", true},
        {3, "Long", longUrl, true},
        {5, "`touch " + pwned + "`", program, true},
        {6, "Missing", recorder.folder() + "/no such program", true},
    };
    startWith(extrasIni(extras));
    launchFromTray();

    QList<QStringList> pages;
    for (int i = 0; i < 3; ++i) {
        const auto run = recorder.nextRun();
        ASSERT_TRUE(run) << "run " << i;
        pages << run->arguments;
    }
    std::sort(pages.begin(), pages.end(),
              [](const QStringList& a, const QStringList& b) { return a.size() > b.size(); });
    EXPECT_EQ(pages.last(), QStringList()) << "the program got no arguments";
    pages.removeLast();
    QStringList urls;
    for (const QStringList& args : pages) {
        ASSERT_EQ(args.size(), 1) << args.join('|').toStdString();
        urls << args[0];
    }
    urls.sort();
    QStringList expected = {extras[0].path, extras[1].path};
    expected.sort();
    EXPECT_EQ(urls, expected) << "each address whole; a long one, cut by its field, not at all";
    QThread::msleep(200);
    EXPECT_FALSE(QFile::exists(pwned)) << "nothing was read by a shell";
    EXPECT_FALSE(recorder.anyNewRun());
    EXPECT_EQ(
        logSinceLaunch(),
        QStringList({"Launching extras", extras[0].name + " launched", extras[1].name + " launched",
                     "Long could not be launched (its address is longer than 255 characters)",
                     extras[3].name + " launched",
                     "Missing could not be launched (file not found)"}));
}

}  // namespace obu::test
