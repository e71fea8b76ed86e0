#include <gtest/gtest.h>

#include "gui/main/MainWindow.h"
#include "gui/shell/TrayMenu.h"
#include "tests/support/AppHarness.h"

using namespace obu;
using obu::test::AppHarness;

namespace {

struct Tray : ::testing::Test {
    AppHarness app;
    void SetUp() override {
        app.start();
        app.time.advance(5000);
    }
    MainWindow& main() { return app.main(); }
    template <class Control = QWidget>
    Control* control(const char* role) {
        return app.control<Control>(role);
    }
    obu::TrayMenu& tray() { return *app.program().trayMenu; }
};

}  // namespace

TEST_F(Tray, TheIconShowsTheProgramsPictureAndTipFromTheStart) {
    ASSERT_TRUE(app.tray.shown());
    EXPECT_EQ(app.tray.tip(), "OBU v1.3");
    EXPECT_FALSE(app.tray.picture().isNull()) << "the program's icon";
}

TEST_F(Tray, ALeftClickBringsTheWindowBackAndARightClickOpensTheMenu) {
    main().hide();
    app.tray.leftClick();
    app.time.runPosted();
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().showState(), ShowState::Normal);

    QMenu* shown = nullptr;
    tray().trayIcon().setPopupHandler([&](QMenu& menu, const QPoint&) { shown = &menu; });
    app.tray.rightClick();
    app.time.runPosted();
    EXPECT_EQ(shown, app.trayMenu("trayMenu"));
}

TEST_F(Tray, TheMenuHoldsEveryEntryInItsOrder) {
    QStringList captions;
    for (QAction* a : app.trayMenu("trayMenu")->actions())
        captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(captions, QStringList({"Setup", "Options", "Launch Extras", "Disconnect Timer", "-",
                                     "Vantor Studio Webpage", "OBU Webpage", "Help", "-",
                                     "About OBU", "Hide OBU", "Connect", "Exit"}));
    QStringList setup, options;
    for (QAction* a : app.trayMenu("setupMenu")->actions()) setup << a->text();
    for (QAction* a : app.trayMenu("optionsMenu")->actions()) options << a->text();
    EXPECT_EQ(setup, QStringList({"Extras", "Connection", "Set Alarm", "Clear Alarm Time"}));
    EXPECT_EQ(options, QStringList({"Sound", "Connect on Start", "Minimize OBU on Connect",
                                    "Minimize DUN on Connect", "Redial if Line is Busy"}));
}

TEST_F(Tray, HideAndShowFollowTheMainWindowAndMinimizingHidesInTheTrayButNotWithoutOne) {
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Hide OBU");
    app.trayItem("hideShowItem")->trigger();
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Show OBU");
    app.trayItem("hideShowItem")->trigger();
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Hide OBU");

    main().setShowState(ShowState::Minimized);
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Show OBU");
    app.trayItem("hideShowItem")->trigger();
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().showState(), ShowState::Normal);

    // Without a notification area the window must stay reachable.
    app.tray.setAvailable(false);
    main().setShowState(ShowState::Minimized);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(app.trayItem("hideShowItem")->text(), "Hide OBU");
}

TEST_F(Tray, ExitEndsTheProgramAndTheIconGoes) {
    app.trayItem("exitItem")->trigger();
    EXPECT_TRUE(app.program().application().quitting());
    app.destroy();
    EXPECT_FALSE(app.tray.shown());
    EXPECT_EQ(app.tray.hideCount(), 1);
    EXPECT_EQ(app.logMessages().last(), "OBU Closed");
}
