#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/HomeFolder.h"

using namespace obu;

TEST(HomeFolder, HomeIsTakenFromThePasswordDatabaseWhenUnset) {
    EXPECT_EQ(chooseHomeFolder("/home/ann", "/home/other"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("/home/ann/", nullptr), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("", "/home/ann"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("relative/home", "/home/ann"), "/home/ann");
    EXPECT_EQ(chooseHomeFolder("", nullptr), "");
    EXPECT_EQ(chooseHomeFolder("", ""), "");
    EXPECT_EQ(chooseHomeFolder("", "relative"), "");

    const QByteArray saved = qgetenv("HOME");
    const passwd* me = ::getpwuid(::getuid());
    ASSERT_NE(me, nullptr);
    qunsetenv("HOME");
    EXPECT_EQ(homeFolder(), QString::fromLocal8Bit(me->pw_dir));
    EXPECT_EQ(settleHomeFolder(), "");
    EXPECT_EQ(qgetenv("HOME"), QByteArray(me->pw_dir));
    // A HOME that is set is the user's choice and stays.
    qputenv("HOME", "/somewhere/else");
    EXPECT_EQ(settleHomeFolder(), "");
    EXPECT_EQ(homeFolder(), "/somewhere/else");
    qputenv("HOME", saved);
}
