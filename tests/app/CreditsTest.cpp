#include <gtest/gtest.h>

#include <QTest>

#include "gui/main/MainWindow.h"
#include "gui/skin/CreditsWindow.h"
#include "tests/support/AppHarness.h"
#include "tests/support/RecordingSound.h"

using namespace obu;
using obu::test::AppHarness;
using obu::test::RecordingSound;

namespace {

struct Credits : ::testing::Test {
    RecordingSound sound;
    AppHarness app;

    void SetUp() override {
        app.platform.sound = &sound;
        app.start();
        app.time.advance(5000);
    }
    CreditsWindow& credits() { return *app.program().creditsWindow; }
    int top() { return app.child<QLabel>(credits(), "creditsText")->y(); }
};

}  // namespace

TEST_F(Credits, ThePassesLast369AndThen393TicksWhileTheTunePlays) {
    EXPECT_EQ(credits().size(), QSize(305, 398));
    EXPECT_EQ(CreditsWindow::creditLines().size(), 17);
    EXPECT_EQ(app.child<QLabel>(credits(), "heading")->text(), "The OBU Production Team:");
    credits().showWindow();
    EXPECT_EQ(top(), 96) << "only the first line shows, at the panel's lower edge";
    EXPECT_TRUE(sound.isPlaying("obupt.okx"));
    app.time.advance(50);
    EXPECT_EQ(top(), 95);
    // 96 down to -273 takes 369 ticks; the next tick starts again at 120.
    int ticks = 1;
    while (top() != 120 && ticks < 1000) {
        app.time.advance(50);
        ++ticks;
    }
    EXPECT_EQ(ticks, 369);
    ticks = 0;
    do {
        app.time.advance(50);
        ++ticks;
    } while (top() != 120 && ticks < 1000);
    EXPECT_EQ(ticks, 393);
    EXPECT_TRUE(credits().isVisible());
}

TEST_F(Credits, TheScreenClosesWhenTheTuneEndsAndStartsAfreshNextTime) {
    credits().showWindow();
    app.time.advance(2000);
    sound.endTune("obupt.okx");
    app.time.advance(50);
    EXPECT_FALSE(credits().isVisible());
    app.time.advance(1000);
    credits().showWindow();
    EXPECT_EQ(top(), 96);
    EXPECT_TRUE(sound.isPlaying("obupt.okx"));
    EXPECT_EQ(sound.starts("obupt.okx"), 2) << "every show plays the tune from its start";
}

TEST_F(Credits, AClickClosesTheScreenAndStopsTheTune) {
    credits().showWindow();
    app.time.advance(500);
    QTest::mouseClick(&credits(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 300));
    EXPECT_FALSE(credits().isVisible());
    EXPECT_FALSE(sound.isPlaying("obupt.okx"));
    const int stoppedAt = top();
    app.time.advance(1000);
    EXPECT_EQ(top(), stoppedAt) << "the scroll stops with the screen";
}

TEST(CreditsWithoutATune, RunOneFullPassThenClose) {
    RecordingSound sound;
    sound.setMissing("obupt.okx");
    AppHarness app;
    app.platform.sound = &sound;
    app.start();
    CreditsWindow& credits = *app.program().creditsWindow;
    credits.showWindow();
    app.time.advance(50 * 300);
    EXPECT_TRUE(credits.isVisible()) << "no tune does not mean no credits";
    app.time.advance(50 * 100);
    EXPECT_FALSE(credits.isVisible());
}
