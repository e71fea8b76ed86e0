#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLineEdit>
#include <QTest>

#include "gui/main/MainWindow.h"
#include "gui/shell/TrayMenu.h"
#include "model/PasswordCodec.h"
#include "tests/support/AppHarness.h"

using namespace obu;
using obu::test::AppHarness;

namespace {

struct Presentation : ::testing::Test {
    AppHarness app;
    void start(const QByteArray& ini = {}) {
        app.writeIni(ini);
        app.start();
        app.time.advance(5000);
        app.sound.clearCalls();
    }
    MainWindow& main() { return app.main(); }
    template <class Control = QWidget>
    Control* control(const char* role) {
        return app.control<Control>(role);
    }
    SkinImage* okButton() { return control<SkinImage>("panelOkButton"); }
    SkinImage* cancelButton() { return control<SkinImage>("panelCancelButton"); }
    QLineEdit* userNameEdit() { return control<QLineEdit>("userNameEdit"); }
    QLineEdit* passwordEdit() { return control<QLineEdit>("passwordEdit"); }
    TrayMenu& tray() { return *app.program().trayMenu; }
    void moveOver(QWidget* w) {
        // From outside every window: a move to where the cursor already is is no move.
        QCursor::setPos(-100, -100);
        QTest::mouseMove(w, QPoint(w->width() / 2, w->height() / 2));
    }
    // A place of the background that no other control covers.
    void moveOverBackground() {
        QTest::mouseMove(control<SkinImage>("background"), QPoint(440, 20));
    }
    void typeUp(int key) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(&main(), &release);
    }
    // A key pressed and released as the window system delivers it: to the
    // window's focus widget, whose parents see what it leaves.
    void typeKey(int key) {
        QWidget* target = main().focusWidget() ? main().focusWidget() : &main();
        QTest::keyClick(target, Qt::Key(key));
    }
    bool infoPageShown() {
        return control<QLabel>("entryCaption")->isVisible() &&
               control<QLabel>("connectionName")->isVisible() &&
               control<QLabel>("alarmCaption")->isVisible() &&
               control<QLabel>("alarmTimeLabel")->isVisible() &&
               control<QLabel>("downArrow")->isVisible() &&
               !control<QLabel>("upArrow")->isVisible();
    }
};

}  // namespace

TEST_F(Presentation, SkinButtonsShowTheirPressedFaceAndPlayTheirSounds) {
    start();
    QTest::mousePress(control<SkinImage>("alarmButton"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
    EXPECT_EQ(control<SkinImage>("alarmButton")->faceIndex(), 1);
    QTest::mouseRelease(control<SkinImage>("alarmButton"), Qt::LeftButton, Qt::NoModifier,
                        QPoint(500, 500));  // released outside: no click
    EXPECT_EQ(control<SkinImage>("alarmButton")->faceIndex(), 0);
    EXPECT_EQ(app.sound.waves(), QStringList({"obubtnd.okx", "obubtnu.okx"}));
    EXPECT_FALSE(okButton()->isVisible());
    app.exit();

    // With sound off no wave is played, but the faces still change.
    start("[Options]\r\nSound=0\r\n");
    QTest::mousePress(control<SkinImage>("connectionButton"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
    EXPECT_EQ(control<SkinImage>("connectionButton")->faceIndex(), 1);
    QTest::mouseRelease(control<SkinImage>("connectionButton"), Qt::LeftButton, Qt::NoModifier,
                        QPoint(500, 500));
    EXPECT_TRUE(app.sound.waves().isEmpty());
}

TEST_F(Presentation, TheConnectButtonsFacesFollowTheStateAndTheTrayCaptionFollowsTheRelease) {
    start("[Connection]\r\nName=Demo ISP\r\n");
    QTest::mousePress(control<SkinImage>("connectButton"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
    EXPECT_EQ(control<SkinImage>("connectButton")->faceList(), &main().connectFaces());
    EXPECT_EQ(control<SkinImage>("connectButton")->faceIndex(), 1);
    QTest::mouseRelease(control<SkinImage>("connectButton"), Qt::LeftButton, Qt::NoModifier,
                        QPoint(500, 500));  // released outside: no click
    EXPECT_EQ(control<SkinImage>("connectButton")->faceIndex(), 0);
    app.exit();

    // A line found up at start turns the button to Disconnect; the tray's
    // caption waits for the next release of the button.
    DialRequest outside;
    outside.entry = QStringLiteral("Demo ISP");
    CallId handle = 0;
    ASSERT_EQ(app.lines->dial(outside, &handle), 0u);
    ASSERT_TRUE(app.advanceUntil([&] {
        LineRecord record;
        return app.lines->record(handle, &record) && record.established();
    }));
    start("[Connection]\r\nName=Demo ISP\r\n");
    EXPECT_EQ(control<SkinImage>("connectButton")->faceList(), &main().disconnectFaces());
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Connect");
    QTest::mousePress(control<SkinImage>("connectButton"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
    EXPECT_EQ(control<SkinImage>("connectButton")->faceList(), &main().disconnectFaces());
    EXPECT_EQ(control<SkinImage>("connectButton")->faceIndex(), 1);
    QTest::mouseRelease(control<SkinImage>("connectButton"), Qt::LeftButton, Qt::NoModifier,
                        QPoint(500, 500));
    EXPECT_EQ(control<SkinImage>("connectButton")->faceList(), &main().disconnectFaces());
    EXPECT_EQ(control<SkinImage>("connectButton")->faceIndex(), 0);
    EXPECT_EQ(app.trayItem("connectItem")->text(), "Disconnect");
}

TEST_F(Presentation, TheAboutPictureTakesThePanelAndAClickBringsTheInformationBack) {
    start();
    app.trayItem("aboutItem")->trigger();
    EXPECT_TRUE(control<SkinImage>("aboutPicture")->isVisible());
    EXPECT_EQ(control<SkinImage>("aboutPicture")->pos(), QPoint(210, 20));
    EXPECT_FALSE(control<QLabel>("downArrow")->isVisible());
    EXPECT_FALSE(control<QLabel>("entryCaption")->isVisible());
    app.click(control<SkinImage>("aboutPicture"));
    EXPECT_FALSE(control<SkinImage>("aboutPicture")->isVisible());
    EXPECT_TRUE(infoPageShown());
    EXPECT_EQ(app.sound.waves(), QStringList({"obuclick.okx"}));
}

TEST_F(Presentation, VThenSOverTheHotSpotStartsTheQuotationWithItsTimedWords) {
    start();
    moveOver(control<QLabel>("quotationHotSpot"));
    typeUp(Qt::Key_V);
    typeUp(Qt::Key_S);
    EXPECT_TRUE(control<QLabel>("quotation")->isVisible());
    EXPECT_FALSE(control<QLabel>("entryCaption")->isVisible());
    EXPECT_FALSE(control<QLabel>("downArrow")->isVisible());
    EXPECT_TRUE(app.sound.isPlaying("obu.okx"));
    // The words at 8, 9 and 10 seconds, the attribution at 11, the information back at 14.
    app.time.advance(7000);
    EXPECT_FALSE(control<QLabel>("healthyWord")->isVisible());
    app.time.advance(1000);
    EXPECT_TRUE(control<QLabel>("healthyWord")->isVisible());
    EXPECT_FALSE(control<QLabel>("wealthyWord")->isVisible());
    app.time.advance(1000);
    EXPECT_TRUE(control<QLabel>("wealthyWord")->isVisible());
    app.time.advance(1000);
    EXPECT_TRUE(control<QLabel>("wiseWord")->isVisible());
    EXPECT_FALSE(control<QLabel>("attribution")->isVisible());
    app.time.advance(1000);
    EXPECT_TRUE(control<QLabel>("attribution")->isVisible());
    app.time.advance(2000);
    EXPECT_TRUE(control<QLabel>("quotation")->isVisible());
    app.time.advance(1000);
    EXPECT_FALSE(control<QLabel>("quotation")->isVisible());
    EXPECT_FALSE(control<QLabel>("attribution")->isVisible());
    EXPECT_TRUE(infoPageShown());
    EXPECT_FALSE(main().quotationSteps().enabled());
}

TEST_F(Presentation, AMoveOverTheBackgroundBetweenTheKeysCancelsTheFirst) {
    start();
    moveOver(control<QLabel>("quotationHotSpot"));
    typeUp(Qt::Key_V);
    moveOverBackground();
    moveOver(control<QLabel>("quotationHotSpot"));
    typeUp(Qt::Key_S);
    EXPECT_FALSE(control<QLabel>("quotation")->isVisible());
    // Away from the hot spot the keys do nothing either.
    moveOver(control<QLabel>("downArrow"));
    typeUp(Qt::Key_V);
    typeUp(Qt::Key_S);
    EXPECT_FALSE(control<QLabel>("quotation")->isVisible());
}

TEST_F(Presentation, KeysTypedIntoAPanelBoxAreTheBoxsAndTheWindowsAgainOnceThePanelIsCancelled) {
    start();
    app.click(control<SkinImage>("connectionButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return userNameEdit()->isVisible(); }));
    userNameEdit()->setFocus();
    moveOver(control<QLabel>("quotationHotSpot"));
    typeKey(Qt::Key_V);
    typeKey(Qt::Key_S);
    EXPECT_EQ(userNameEdit()->text(), "vs");
    EXPECT_FALSE(control<QLabel>("quotation")->isVisible());

    app.click(cancelButton());
    moveOver(control<QLabel>("quotationHotSpot"));
    typeKey(Qt::Key_V);
    typeKey(Qt::Key_S);
    EXPECT_TRUE(control<QLabel>("quotation")->isVisible());
    app.click(control<SkinImage>("connectionButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return userNameEdit()->isVisible(); }));
    EXPECT_EQ(userNameEdit()->text(), "") << "the keys went nowhere near the closed panel";
}

TEST_F(Presentation, TheWindowsFontIsArialElevenPixelsAndThePasswordShowsStars) {
    start("[Connection]\r\nName=Demo ISP\r\nUsername=joe\r\nPassword=" +
          encodePassword("secret").toLatin1() + "\r\n");
    for (QWidget* text : std::initializer_list<QWidget*>{control<QLabel>("statusCaption"),
                                                         control<QLabel>("statusLine"),
                                                         control<QLabel>("makeDailyLabel")}) {
        const QFontInfo font(text->font());
        EXPECT_EQ(font.family().toStdString(), "Liberation Sans")
            << text->objectName().toStdString();
        EXPECT_EQ(font.pixelSize(), 11) << text->objectName().toStdString();
    }
    app.click(control<SkinImage>("connectionButton"));
    ASSERT_TRUE(app.advanceUntil([&] { return passwordEdit()->isVisible(); }));
    EXPECT_EQ(passwordEdit()->displayText(), "******");

    // The longest status text of a demo connection fits the status line.
    app.click(cancelButton());
    app.click(control<SkinImage>("connectButton"));
    ASSERT_TRUE(app.advanceUntil(
        [&] { return control<QLabel>("statusLine")->text().contains("Device:"); }, 30000));
    EXPECT_EQ(control<QLabel>("statusLine")->text(),
              "Demo ISP - Connected.   Device: Simulated Modem");
    EXPECT_LE(control<QLabel>("statusLine")
                  ->fontMetrics()
                  .horizontalAdvance(control<QLabel>("statusLine")->text()),
              control<QLabel>("statusLine")->width());
    app.click(control<SkinImage>("connectButton"));
}

TEST_F(Presentation, TheQuotationClosesTheAboutPictureAndRunsSilentlyWithoutSound) {
    start("[Options]\r\nSound=0\r\n");
    main().showAbout();
    moveOver(control<QLabel>("quotationHotSpot"));
    typeUp(Qt::Key_V);
    typeUp(Qt::Key_S);
    EXPECT_FALSE(control<SkinImage>("aboutPicture")->isVisible());
    EXPECT_TRUE(control<QLabel>("quotation")->isVisible());
    EXPECT_FALSE(app.sound.isPlaying("obu.okx"));
}

TEST(PresentationWithoutTheTune, TheMainWindowIsMadeAndTheQuotationRunsSilently) {
    AppHarness app;
    app.sound.setMissing("obu.okx");
    app.start();
    app.time.advance(5000);
    EXPECT_TRUE(app.main().isVisible());
    app.main().showQuotation();
    EXPECT_TRUE(app.control<QLabel>("quotation")->isVisible());
}
