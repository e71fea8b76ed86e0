// A skin picture made a button, used without a mouse: from the keyboard and
// through the accessibility interface that screen readers use.
#include "gui/skin/SkinImage.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QTest>

namespace obu {
namespace {

struct SkinButtonTest : ::testing::Test {
    SkinButtonTest() {
        window.resize(200, 100);
        connect.makeButton(QStringLiteral("Connect"));
        alarm.makeButton(QStringLiteral("Set Alarm"));
        for (SkinImage* button : {&connect, &alarm, &picture}) {
            const QString name = button->objectName();
            button->onMouseDown = [this, name](Qt::MouseButton) { said << name + " down"; };
            button->onClick = [this, name] { said << name + " click"; };
            button->onMouseUp = [this, name](Qt::MouseButton) { said << name + " up"; };
        }
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
    SkinImage connect{&window, QStringLiteral("connect"), 0, 0, 80, 30};
    SkinImage picture{&window, QStringLiteral("picture"), 0, 30, 80, 30};
    SkinImage alarm{&window, QStringLiteral("alarm"), 0, 60, 80, 30};
    QStringList said;
};

TEST_F(SkinButtonTest, TabReachesOnlyButtonsAndSpaceOrEnterPressesThemAsAClickWould) {
    connect.setFocus();
    ASSERT_TRUE(connect.hasFocus());
    QTest::keyClick(&connect, Qt::Key_Space);
    EXPECT_EQ(said, QStringList({"connect down", "connect click", "connect up"}));

    said.clear();
    QTest::keyClick(&connect, Qt::Key_Tab);
    EXPECT_TRUE(alarm.hasFocus()) << "the plain picture takes no focus";
    QTest::keyPress(&alarm, Qt::Key_Return);
    EXPECT_EQ(said, QStringList({"alarm down"})) << "the face shows pressed while the key is held";
    QTest::keyRelease(&alarm, Qt::Key_Return);
    EXPECT_EQ(said, QStringList({"alarm down", "alarm click", "alarm up"}));

    // Other keys are not a press; a disabled button takes none.
    said.clear();
    QTest::keyClick(&alarm, Qt::Key_A);
    alarm.setEnabled(false);
    alarm.press();
    EXPECT_TRUE(said.isEmpty());
}

TEST_F(SkinButtonTest, ScreenReadersSeeANamedButtonTheyCanPressAndAPictureThatIsNone) {
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(&connect);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(button->text(QAccessible::Name), "Connect");
    QAccessibleActionInterface* actions = button->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(said, QStringList({"connect down", "connect click", "connect up"}));

    QAccessibleInterface* plain = QAccessible::queryAccessibleInterface(&picture);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->role(), QAccessible::Button);
}

}  // namespace
}  // namespace obu
