// The tray icon against the recording shell, in virtual time: what reaches
// the shell and when, and what the user's actions on the icon lead to.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "gui/shell/TrayIcon.h"
#include "tests/support/RecordingTrayShell.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {
namespace {

QIcon filled(Qt::GlobalColor color) {
    QPixmap picture(16, 16);
    picture.fill(color);
    return QIcon(picture);
}

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest() { listen(); }

    void listen() {
        QObject::connect(tray.get(), &TrayIcon::clicked, [this] { events.push_back("click"); });
        QObject::connect(tray.get(), &TrayIcon::doubleClicked,
                         [this] { events.push_back("dblclick"); });
        QObject::connect(tray.get(), &TrayIcon::rightClicked, [this](QPoint at) {
            rightClickAt = at;
            events.push_back("rightclick");
        });
    }

    // Shows the icon as the splash window sets it up.
    void showIcon() {
        tray->setPicture(filled(Qt::red));
        tray->setToolTip(QStringLiteral("OBU v1.3"));
        tray->setVisible(true);
    }

    VirtualTime time;
    RecordingTrayShell shell{time};
    std::unique_ptr<TrayIcon> tray = std::make_unique<TrayIcon>(shell);
    std::vector<std::string> events;
    QPoint rightClickAt{-1, -1};
};

TEST_F(TrayIconTest, PictureAndTipReachTheShellOnlyWhileTheIconIsShown) {
    tray->setPicture(filled(Qt::red));
    tray->setToolTip(QString(70, QLatin1Char('x')));
    EXPECT_EQ(shell.showCount(), 0) << "a hidden icon reached the shell";
    tray->setVisible(true);
    ASSERT_TRUE(shell.shown());
    EXPECT_EQ(shell.tip(), QString(62, QLatin1Char('x'))) << "the tip is cut to what trays show";
    EXPECT_EQ(shell.picture().pixmap(16, 16).toImage().pixel(8, 8), qRgb(255, 0, 0));

    tray->setVisible(true);
    EXPECT_EQ(shell.showCount(), 1) << "showing a shown icon again";
    tray->setVisible(false);
    tray->setToolTip(QStringLiteral("OBU v1.3"));
    EXPECT_FALSE(shell.shown());
    EXPECT_EQ(shell.showCount(), 1);
    tray->setVisible(true);
    EXPECT_EQ(shell.tip(), "OBU v1.3") << "a tip changed while hidden is shown with the icon";
}

TEST_F(TrayIconTest, ActionsBecomeSignalsWhenTheLoopDeliversThem) {
    showIcon();
    ASSERT_TRUE(shell.leftClick());
    EXPECT_TRUE(events.empty()) << "the action was not delivered through the loop";
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"click"});

    events.clear();
    shell.doubleClick();
    time.runPosted();
    EXPECT_EQ(events, (std::vector<std::string>{"click", "dblclick", "click"}));

    // An action already on its way when the icon goes is dropped.
    events.clear();
    shell.leftClick();
    tray->setVisible(false);
    time.runPosted();
    EXPECT_TRUE(events.empty());
}

TEST_F(TrayIconTest, RightClickPopsTheMenuUpAtTheMouseThenReportsTheClick) {
    QMenu menu;
    QAction* exit = menu.addAction(QStringLiteral("Exit"));
    QObject::connect(exit, &QAction::triggered, [this] { events.push_back("Exit chosen"); });
    tray->setPopupMenu(&menu);
    QPoint poppedAt;
    tray->setPopupHandler([&](QMenu& shownMenu, const QPoint& at) {
        EXPECT_EQ(&shownMenu, &menu);
        poppedAt = at;
        events.push_back("menu");
        exit->trigger();
    });
    showIcon();
    QCursor::setPos(300, 200);
    const QPoint mouse = QCursor::pos();

    shell.rightClick();
    time.runPosted();
    EXPECT_EQ(events, (std::vector<std::string>{"menu", "Exit chosen", "rightclick"}));
    EXPECT_EQ(poppedAt, mouse);
    EXPECT_EQ(rightClickAt, mouse);

    // A menu destroyed before the click is forgotten, not used.
    events.clear();
    auto gone = std::make_unique<QMenu>();
    tray->setPopupMenu(gone.get());
    gone.reset();
    EXPECT_EQ(tray->popupMenu(), nullptr);
    shell.rightClick();
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"rightclick"});
}

// Without a handler the real menu opens and the click is reported only once it closes.
TEST_F(TrayIconTest, RealMenuIsShownAtTheMouseUntilItCloses) {
    QMenu menu;
    menu.addAction(QStringLiteral("Exit"));
    tray->setPopupMenu(&menu);
    showIcon();
    QCursor::setPos(120, 90);
    const QPoint mouse = QCursor::pos();
    bool shownWhileOpen = false;
    QPoint shownAt;
    QTimer::singleShot(0, &menu, [&] {
        shownWhileOpen = menu.isVisible();
        shownAt = menu.pos();
        events.push_back("menu open");
        menu.close();
    });
    shell.rightClick();
    time.runPosted();
    EXPECT_TRUE(shownWhileOpen);
    EXPECT_EQ(shownAt, mouse);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(events, (std::vector<std::string>{"menu open", "rightclick"}));
}

TEST_F(TrayIconTest, RightClickWhileTheMenuIsOpenDoesNotOpenASecondOne) {
    QMenu menu;
    tray->setPopupMenu(&menu);
    showIcon();
    int popups = 0;
    tray->setPopupHandler([&](QMenu&, const QPoint&) {
        ++popups;
        // The menu's loop runs what is posted meanwhile.
        shell.rightClick();
        time.runPosted();
    });
    shell.rightClick();
    time.runPosted();
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(events, std::vector<std::string>{"rightclick"});

    // Once it has closed, the next right click opens it again.
    shell.rightClick();
    time.runPosted();
    EXPECT_EQ(popups, 2);
}

TEST_F(TrayIconTest, AnIconEndedByWhatItsActionsLedToDoesNothingAfterwards) {
    showIcon();
    shell.leftClick();
    tray.reset();
    EXPECT_FALSE(shell.shown()) << "the icon stayed in the tray";
    EXPECT_EQ(shell.hideCount(), 1);
    time.runPosted();
    EXPECT_TRUE(events.empty());

    // Ended by a click: the rest of a double click finds nothing.
    tray = std::make_unique<TrayIcon>(shell);
    listen();
    QObject::connect(tray.get(), &TrayIcon::clicked, [this] { tray.reset(); });
    showIcon();
    shell.doubleClick();
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"click"});

    // Ended from the menu ("Exit"): the right click is not reported after it.
    events.clear();
    tray = std::make_unique<TrayIcon>(shell);
    listen();
    QMenu menu;
    tray->setPopupMenu(&menu);
    tray->setPopupHandler([this](QMenu&, const QPoint&) {
        events.push_back("menu");
        tray.reset();
    });
    showIcon();
    shell.rightClick();
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"menu"});
    EXPECT_FALSE(shell.shown());
}

}  // namespace
}  // namespace obu::test
