#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "platform/DataFolders.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

// Sets an environment variable for the life of the object.
struct ScopedEnv {
    QByteArray name, old;
    bool had;
    ScopedEnv(const char* n, const QByteArray& value)
        : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) {
        qputenv(n, value);
    }
    ~ScopedEnv() {
        if (had)
            qputenv(name.constData(), old);
        else
            qunsetenv(name.constData());
    }
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

}  // namespace

TEST(DataFolders, AWritableCopyKeepsItsFilesBesideItself) {
    test::TempFolder program;
    const DataFolders folders = dataFolders(program.path());
    EXPECT_EQ(folders.settings, program.path());
    EXPECT_EQ(folders.log, program.path());
    EXPECT_TRUE(folders.besideProgram) << "a portable copy: its passwords stay in its obu.ini";
}

TEST(DataFolders, AnInstalledCopyUsesPrivateXdgFolders) {
    test::TempFolder program, home;
    program.write(kInstalledMarker, "installed\n");
    ScopedEnv homeVar("HOME", home.path().toLocal8Bit());
    {
        ScopedEnv config("XDG_CONFIG_HOME", (home.path() + "cfg").toLocal8Bit());
        ScopedEnv state("XDG_STATE_HOME", (home.path() + "st/deep").toLocal8Bit());
        const DataFolders folders = dataFolders(program.path());
        EXPECT_EQ(folders.settings, home.path() + "cfg/obu/");
        EXPECT_EQ(folders.log, home.path() + "st/deep/obu/");
        EXPECT_FALSE(folders.besideProgram);
        EXPECT_EQ(modeOf(folders.settings), 0700u);
        EXPECT_EQ(modeOf(home.path() + "st"), 0700u);
    }
    // Unset or relative values fall back to the usual places in the home folder.
    ScopedEnv config("XDG_CONFIG_HOME", "relative/cfg");
    qunsetenv("XDG_STATE_HOME");
    const DataFolders folders = dataFolders(program.path());
    EXPECT_EQ(folders.settings, home.path() + ".config/obu/");
    EXPECT_EQ(folders.log, home.path() + ".local/state/obu/");
    EXPECT_EQ(modeOf(folders.log), 0700u);
}
