// The tray icon component against the recording shell, in virtual time: what
// reaches the shell and when, and what the icon's mouse messages lead to.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shell/TrayIcon.h"
#include "tests/support/RecordingTrayShell.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {
namespace {

QIcon filled(Qt::GlobalColor color) {
    QPixmap picture(16, 16);
    picture.fill(color);
    return QIcon(picture);
}

QRgb colourOf(IconHandle handle) {
    return TIcon::fromHandle(handle).pixmap(16, 16).toImage().pixel(8, 8);
}

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest() {
        tray->setOnClick([this](TrayIcon* sender) {
            EXPECT_EQ(sender, tray.get());
            events.push_back("click");
        });
        tray->setOnDblClick([this](TrayIcon* sender) {
            EXPECT_EQ(sender, tray.get());
            events.push_back("dblclick");
        });
        tray->setOnRightClick([this](TrayIcon* sender, Qt::MouseButton button,
                                     Qt::KeyboardModifiers shift, int x, int y) {
            EXPECT_EQ(sender, tray.get());
            EXPECT_EQ(button, Qt::RightButton);
            EXPECT_EQ(shift, Qt::NoModifier);
            rightClickAt = QPoint(x, y);
            events.push_back("rightclick");
        });
    }

    // Shows the icon as the splash window sets it up: picture, tip, active.
    void showIcon() {
        TIcon picture(filled(Qt::red));
        tray->setIcon(picture);
        tray->setToolTip(QStringLiteral("OBU v1.3"));
        tray->setActive(true);
        time.runPosted();
        shell.clearCalls();
    }

    VirtualTime time;
    RecordingTrayShell shell{time};
    std::unique_ptr<TrayIcon> tray = std::make_unique<TrayIcon>(shell, time);
    std::vector<std::string> events;
    QPoint rightClickAt{-1, -1};
};

TEST_F(TrayIconTest, RecordHandedToTheShellHasTheOriginalLayoutAndFields) {
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hWnd), 4u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, uFlags), 12u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hIcon), 20u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip), 24u);

    TIcon picture(filled(Qt::red));
    tray->setIcon(picture);
    tray->setToolTip(QStringLiteral("OBU v1.3"));
    EXPECT_TRUE(shell.calls().empty()) << "a hidden icon reaches the shell";
    tray->setActive(true);

    ASSERT_EQ(shell.calls().size(), 1u);
    const RecordingTrayShell::Call& add = shell.calls()[0];
    EXPECT_EQ(add.message, NIM_ADD);
    EXPECT_TRUE(add.result);
    EXPECT_EQ(add.data.cbSize, 88u);
    EXPECT_NE(add.data.hWnd, 0u);
    EXPECT_EQ(add.data.hWnd, tray->TrayWindow());
    EXPECT_TRUE(NotifyTargets::exists(add.data.hWnd));
    EXPECT_EQ(add.data.uID, 0u);
    EXPECT_EQ(add.data.uFlags, 7u);
    EXPECT_EQ(add.data.uCallbackMessage, 0x401u);
    // The component keeps a copy of the picture, under a handle of its own.
    EXPECT_NE(add.data.hIcon, 0u);
    EXPECT_NE(add.data.hIcon, picture.Handle());
    EXPECT_EQ(add.data.hIcon, tray->Icon().Handle());
    EXPECT_EQ(colourOf(add.data.hIcon), qRgb(255, 0, 0));
    char expectedTip[64] = "OBU v1.3";
    EXPECT_EQ(std::memcmp(add.data.szTip, expectedTip, sizeof expectedTip), 0)
        << "the tip is not the text, its zero and nothing after it";
    EXPECT_EQ(std::memcmp(&tray->IconData(), &add.data, sizeof add.data), 0);
    EXPECT_EQ(shell.tipShown(tray->TrayWindow()), QStringLiteral("OBU v1.3"));
}

TEST_F(TrayIconTest, ActiveReachesTheShellOnlyOnAChange) {
    showIcon();
    tray->setActive(true);
    EXPECT_TRUE(shell.calls().empty());

    tray->setActive(false);
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].message, NIM_DELETE);
    EXPECT_TRUE(shell.calls()[0].result);
    EXPECT_EQ(std::memcmp(&shell.calls()[0].data, &tray->IconData(), sizeof(NOTIFYICONDATAA)), 0);
    EXPECT_EQ(shell.shownCount(), 0);
    tray->setActive(false);
    EXPECT_EQ(shell.calls().size(), 1u);

    // No form designer runs in the program: this never shows the icon.
    tray->setShowDesigning(true);
    EXPECT_FALSE(tray->ShowDesigning());
    EXPECT_EQ(shell.calls().size(), 1u);
}

TEST_F(TrayIconTest, ToolTipIsCutTo62CharactersAndReachesTheShellOnlyWhileShown) {
    const QString seventy = QString(60, QLatin1Char('a')) + QStringLiteral("bcdefghijk");
    tray->setToolTip(seventy);
    EXPECT_EQ(tray->ToolTip(), seventy.left(62));
    EXPECT_TRUE(shell.calls().empty()) << "a tip changed while hidden reached the shell";

    tray->setActive(true);
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].tip(), seventy.left(62));
    EXPECT_EQ(shell.calls()[0].data.szTip[62], 0);

    tray->setToolTip(QStringLiteral("OBU v1.3"));
    ASSERT_EQ(shell.calls().size(), 2u);
    EXPECT_EQ(shell.calls()[1].message, NIM_MODIFY);
    EXPECT_EQ(shell.tipShown(tray->TrayWindow()), QStringLiteral("OBU v1.3"));
    EXPECT_EQ(shell.calls()[1].data.szTip[8], 0) << "the longer tip before shows through";

    // Characters outside the record's single-byte text stay one character each.
    tray->setToolTip(QStringLiteral("Linie \u00fcber \u20ac"));
    EXPECT_EQ(shell.tipShown(tray->TrayWindow()), QStringLiteral("Linie \u00fcber ?"));
}

TEST_F(TrayIconTest, ToolTipChangedWhileHiddenIsShownByTheNextAdd) {
    showIcon();
    tray->setActive(false);
    shell.clearCalls();
    tray->setToolTip(QStringLiteral("Dialing"));
    EXPECT_TRUE(shell.calls().empty());
    EXPECT_EQ(tray->ToolTip(), QStringLiteral("Dialing"));

    tray->setActive(true);
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].message, NIM_ADD);
    EXPECT_EQ(shell.tipShown(tray->TrayWindow()), QStringLiteral("Dialing"));
    EXPECT_EQ(colourOf(shell.shown(tray->TrayWindow())->hIcon), qRgb(255, 0, 0));
}

TEST_F(TrayIconTest, IconChangeIsSentOnlyWhileShown) {
    TIcon blue(filled(Qt::blue));
    tray->setIcon(blue);
    EXPECT_TRUE(shell.calls().empty());
    EXPECT_EQ(tray->Icon().picture().pixmap(16, 16).toImage().pixel(8, 8), qRgb(0, 0, 255));

    showIcon();  // red
    const IconHandle red = shell.shown(tray->TrayWindow())->hIcon;
    tray->setIcon(blue);
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].message, NIM_MODIFY);
    const IconHandle now = shell.shown(tray->TrayWindow())->hIcon;
    EXPECT_NE(now, red);
    EXPECT_EQ(colourOf(now), qRgb(0, 0, 255));
    EXPECT_TRUE(TIcon::fromHandle(red).isNull()) << "the replaced picture's handle lives on";

    // Its own icon object is no other icon: nothing to copy, nothing sent.
    tray->setIcon(tray->Icon());
    EXPECT_EQ(shell.calls().size(), 1u);
}

// A form description may switch the icon on before its picture and tip are
// loaded: the icon goes up empty, the tip modifies it, and the refresh posted
// by the add applies both once more.
TEST_F(TrayIconTest, IconAddedBeforeItsTipGetsTheTipAppliedAgainOnceLoaded) {
    tray->setActive(true);
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].data.hIcon, 0u);
    EXPECT_EQ(shell.calls()[0].tip(), QString());
    TIcon picture(filled(Qt::green));
    tray->setIcon(picture);
    tray->setToolTip(QStringLiteral("OBU v1.3"));
    EXPECT_EQ(shell.count(NIM_MODIFY), 2);

    time.runPosted();
    ASSERT_EQ(shell.count(NIM_MODIFY), 3);
    EXPECT_EQ(shell.calls().back().tip(), QStringLiteral("OBU v1.3"));
    EXPECT_EQ(colourOf(shell.calls().back().data.hIcon), qRgb(0, 255, 0));

    // An add with its tip in place posts nothing.
    tray->setActive(false);
    tray->setActive(true);
    shell.clearCalls();
    time.runPosted();
    EXPECT_TRUE(shell.calls().empty());
}

TEST_F(TrayIconTest, FailedShellCallsAreOnlyReportedThroughTheResult) {
    tray->setToolTip(QStringLiteral("OBU v1.3"));
    shell.failNext(NIM_ADD);
    tray->setActive(true);
    EXPECT_TRUE(tray->Active());
    EXPECT_EQ(shell.calls().size(), 1u) << "a failed add was retried";
    EXPECT_EQ(shell.shownCount(), 0);

    EXPECT_TRUE(tray->AddIcon());
    shell.failNext(NIM_MODIFY);
    EXPECT_FALSE(tray->ModifyIcon());
    EXPECT_TRUE(tray->ModifyIcon());
    EXPECT_FALSE(tray->AddIcon()) << "the shell added the same icon twice";
    EXPECT_TRUE(tray->DeleteIcon());
    EXPECT_FALSE(tray->DeleteIcon());

    tray->setActive(false);
    shell.clearCalls();
    EXPECT_TRUE(tray->ModifyIcon()) << "a hidden icon's modification failed";
    EXPECT_TRUE(shell.calls().empty());
}

TEST_F(TrayIconTest, MouseMessagesBecomeEventsWhenTheLoopDeliversThem) {
    showIcon();
    ASSERT_TRUE(shell.leftClick(tray->TrayWindow()));
    EXPECT_TRUE(events.empty()) << "the shell's message was not posted";
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"click"});

    events.clear();
    ASSERT_TRUE(shell.doubleClick(tray->TrayWindow()));
    time.runPosted();
    EXPECT_EQ(events, (std::vector<std::string>{"click", "dblclick", "click"}));

    events.clear();
    for (std::uint32_t other : {TrayShell::WM_MOUSEMOVE, TrayShell::WM_LBUTTONDOWN,
                                TrayShell::WM_RBUTTONDOWN, TrayShell::WM_MBUTTONUP, 0x206u})
        shell.mouse(other, tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(tray->HandleTrayMessage(0x400, 0, TrayShell::WM_LBUTTONUP), 0);
    EXPECT_EQ(tray->HandleTrayMessage(0x0F, 0, 0), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(shell.calls().empty()) << "another message touched the icon";

    // Unset events are skipped, not called.
    tray->setOnClick({});
    tray->setOnDblClick({});
    shell.doubleClick(tray->TrayWindow());
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

    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(events, (std::vector<std::string>{"menu", "Exit chosen", "rightclick"}));
    EXPECT_EQ(poppedAt, mouse);
    EXPECT_EQ(rightClickAt, mouse);
}

TEST_F(TrayIconTest, RightClickWithoutAMenuStillReportsTheClick) {
    showIcon();
    int popups = 0;
    tray->setPopupHandler([&](QMenu&, const QPoint&) { ++popups; });
    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"rightclick"});

    // A menu destroyed before the click is forgotten, not used.
    auto menu = std::make_unique<QMenu>();
    tray->setPopupMenu(menu.get());
    menu.reset();
    EXPECT_EQ(tray->PopupMenu(), nullptr);
    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(popups, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"rightclick", "rightclick"}));
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
    shell.rightClick(tray->TrayWindow());
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
        shell.rightClick(tray->TrayWindow());
        time.runPosted();
    });
    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(events, std::vector<std::string>{"rightclick"});

    // Once it has closed, the next right click opens it again (and the one
    // that came in meanwhile is ignored again).
    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(popups, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"rightclick", "rightclick"}));
}

TEST_F(TrayIconTest, DestructionRemovesTheShownIconAndSilencesMessagesOnTheirWay) {
    showIcon();
    const NotifyTarget window = tray->TrayWindow();
    shell.leftClick(window);
    shell.rightClick(window);
    tray.reset();
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].message, NIM_DELETE);
    EXPECT_EQ(shell.shownCount(), 0);
    EXPECT_FALSE(NotifyTargets::exists(window));
    time.runPosted();
    EXPECT_TRUE(events.empty());

    // A hidden icon is not deleted again; the refresh posted by an add
    // without a tip finds no component.
    tray = std::make_unique<TrayIcon>(shell, time);
    tray->setActive(true);
    tray->setActive(false);
    shell.clearCalls();
    tray.reset();
    time.runPosted();
    EXPECT_TRUE(shell.calls().empty());
}

TEST_F(TrayIconTest, ComponentDestroyedByItsOwnEventsCallsNothingAfterwards) {
    showIcon();
    tray->setOnClick([this](TrayIcon*) {
        events.push_back("click");
        tray.reset();
    });
    shell.doubleClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"click"});
    EXPECT_EQ(shell.count(NIM_DELETE), 1);

    // Ended from the menu ("Exit"): the right click is not reported after it.
    events.clear();
    tray = std::make_unique<TrayIcon>(shell, time);
    QMenu menu;
    tray->setPopupMenu(&menu);
    tray->setOnRightClick([this](TrayIcon*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        events.push_back("rightclick");
    });
    tray->setPopupHandler([this](QMenu&, const QPoint&) {
        events.push_back("menu");
        tray.reset();
    });
    tray->setToolTip(QStringLiteral("OBU v1.3"));
    tray->setActive(true);
    shell.rightClick(tray->TrayWindow());
    time.runPosted();
    EXPECT_EQ(events, std::vector<std::string>{"menu"});
    EXPECT_EQ(shell.shownCount(), 0);
}

TEST(TIconTest, EachPictureHasItsOwnHandleForAsLongAsItIsHeld) {
    TIcon empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Handle(), 0u);
    EXPECT_TRUE(TIcon::fromHandle(0).isNull());

    IconHandle first;
    {
        TIcon red(filled(Qt::red));
        first = red.Handle();
        EXPECT_NE(first, 0u);
        TIcon copy;
        copy.Assign(red);
        EXPECT_NE(copy.Handle(), first);
        EXPECT_EQ(colourOf(copy.Handle()), qRgb(255, 0, 0));
        copy.Assign(empty);
        EXPECT_EQ(copy.Handle(), 0u);
    }
    EXPECT_TRUE(TIcon::fromHandle(first).isNull());
    TIcon later(filled(Qt::blue));
    EXPECT_NE(later.Handle(), first) << "a handle was reused";
}

}  // namespace
}  // namespace obu::test
