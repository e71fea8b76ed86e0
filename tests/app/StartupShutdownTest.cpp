#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gui/main/MainWindow.h"
#include "gui/shell/SplashScreen.h"
#include "tests/support/AppHarness.h"

using namespace obu;
using obu::test::AppHarness;

namespace {

// Reads like the real profile, refuses every write: a folder the program cannot write to.
class RefusingProfile : public IniFileProfile {
public:
    bool writeStrings(const QString&, const std::vector<Assignment>&) override { return false; }
};

const QByteArray kDefaultsAfterFirstRun =
    "[Options]\r\nSound=1\r\nMinimize=0\r\nMinimize Dun=0\r\nRedial=1\r\n"
    "[Alarm]\r\nDaily=0\r\nTime=\r\n"
    "[Connection]\r\nAutoConnect=0\r\nName=\r\nUsername=\r\nPassword=\r\n"
    "[Lights]\r\n1=0\r\n2=0\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n"
    "[Position]\r\nx=5\r\ny=5\r\n";

}  // namespace

TEST(StartupShutdown, FirstStartShowsTheSplashThenTheMainWindowAndSavesEveryKeyAtExit) {
    AppHarness app;
    app.start();
    EXPECT_TRUE(app.splash().isVisible());
    EXPECT_FALSE(app.main().isVisible());
    EXPECT_EQ(app.main().windowTitle(), "Obu Linekeeper v1.3");
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched"}));
    EXPECT_FALSE(app.folder.exists("obu.ini")) << "reading the settings creates nothing";

    app.time.advance(4999);
    EXPECT_TRUE(app.splash().isVisible());
    app.time.advance(1);
    EXPECT_FALSE(app.splash().isVisible());
    EXPECT_TRUE(app.main().isVisible());
    EXPECT_EQ(app.main().outerWidth(), 452);
    EXPECT_EQ(app.main().outerHeight(), 243);
    EXPECT_EQ(app.main().x(), 5);
    EXPECT_EQ(app.main().y(), 5);
    EXPECT_TRUE(app.trayItem("soundOption")->isChecked());
    EXPECT_TRUE(app.trayItem("redialIfBusyOption")->isChecked());
    EXPECT_FALSE(app.trayItem("connectOnStartOption")->isChecked());
    EXPECT_FALSE(app.trayItem("minimizeOnConnectOption")->isChecked());
    EXPECT_FALSE(app.trayItem("minimizeDialUpOption")->isChecked());
    EXPECT_EQ(app.control<QLabel>("connectionName")->text(), "(none)");
    EXPECT_EQ(app.control<QLabel>("alarmTimeLabel")->text(), "(not set)");

    app.trayItem("exitItem")->trigger();
    EXPECT_TRUE(app.program().application().quitting());
    app.destroy();
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched", "OBU Closed"}));
    EXPECT_EQ(app.iniBytes(), kDefaultsAfterFirstRun);
    EXPECT_TRUE(app.dialogs.boxes().empty());
}

TEST(StartupShutdown, EachRunBeginsANewLog) {
    AppHarness app;
    app.start();
    app.time.advance(6000);
    app.exit();
    app.time.advance(60000);
    app.start();
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched"}));
    EXPECT_TRUE(app.logBytes().startsWith("[6/14/2001 9:06:18 PM]: OBU Launched\r\n"));
    app.exit();
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched", "OBU Closed"}));

    // Midnight to the second shows the date alone, whatever the milliseconds.
    app.time.advanceTo(QDateTime(QDate(2001, 6, 15), QTime(0, 0, 0, 250)));
    app.start();
    EXPECT_TRUE(app.logBytes().startsWith("[6/15/2001]: OBU Launched\r\n"))
        << app.logBytes().constData();
    app.exit();
}

TEST(StartupShutdown, StoredSettingsAreRestoredAndWrittenBackUnchanged) {
    AppHarness app;
    const QByteArray stored =
        "; kept by hand\r\n[Options]\r\nSound=0\r\nMinimize=1\r\nMinimize Dun=1\r\nRedial=0\r\n"
        "[Alarm]\r\nDaily=1\r\nTime=9:05:00  PM\r\n[Position]\r\nx=-40\r\ny=0x20\r\n"
        "[Unknown]\r\nkey=kept\r\n";
    app.writeIni(stored);
    app.start();
    EXPECT_FALSE(app.trayItem("soundOption")->isChecked());
    EXPECT_TRUE(app.trayItem("minimizeOnConnectOption")->isChecked());
    EXPECT_TRUE(app.trayItem("minimizeDialUpOption")->isChecked());
    EXPECT_FALSE(app.trayItem("redialIfBusyOption")->isChecked());
    EXPECT_EQ(app.main().x(), -40);
    EXPECT_EQ(app.main().y(), 32);
    EXPECT_TRUE(app.main().alarmClock().isDaily());
    EXPECT_EQ(app.main().alarmClock().time(), "9:05:00  PM");
    app.exit();
    const QByteArray after = app.iniBytes();
    EXPECT_TRUE(after.startsWith("; kept by hand\r\n[Options]\r\nSound=0\r\nMinimize=1\r\n"));
    EXPECT_TRUE(after.contains("Time=9:05:00  PM\r\n"));
    EXPECT_TRUE(after.contains("x=-40\r\ny=32\r\n")) << "positions are written as they are";
    EXPECT_TRUE(after.contains("[Unknown]\r\nkey=kept\r\n"));
}

TEST(StartupShutdown, TheStartClearsWhatInterruptedSavesLeftAndTheExitKeepsThePasswordPrivate) {
    AppHarness app;
    app.writeIni("[Connection]\r\nName=Demo ISP\r\nPassword=xyz\r\n");
    const QByteArray ini = QFile::encodeName(app.folder.file("obu.ini"));
    ASSERT_EQ(::chmod(ini.constData(), 0644), 0);
    // Saves killed half way in earlier runs, by processes long gone.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    for (const char* counter : {"0", "1", "2"})
        app.folder.write(QStringLiteral(".obu.ini.tmp-%1-%2-000000007").arg(gone).arg(counter),
                         "[Conn");
    app.start();
    EXPECT_EQ(QDir(app.folder.path()).entryList(QDir::Hidden | QDir::Files).filter(".tmp-"),
              QStringList());
    app.exit();
    struct stat st {};
    ASSERT_EQ(::stat(ini.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(app.iniBytes().contains("Password=xyz\r\n"));
}

TEST(StartupShutdown, OptionsReachTheFileAtOnceExceptRedial) {
    AppHarness app;
    app.start();
    app.time.advance(5000);
    app.trayItem("soundOption")->trigger();
    EXPECT_FALSE(app.trayItem("soundOption")->isChecked());
    EXPECT_TRUE(app.iniBytes().contains("[Options]\r\nSound=0\r\n"));
    app.trayItem("minimizeOnConnectOption")->trigger();
    app.trayItem("minimizeDialUpOption")->trigger();
    app.trayItem("connectOnStartOption")->trigger();
    EXPECT_TRUE(app.iniBytes().contains("Minimize=1\r\n"));
    EXPECT_TRUE(app.iniBytes().contains("Minimize Dun=1\r\n"));
    EXPECT_TRUE(app.iniBytes().contains("[Connection]\r\nAutoConnect=1\r\n"));
    app.trayItem("redialIfBusyOption")->trigger();
    EXPECT_FALSE(app.trayItem("redialIfBusyOption")->isChecked());
    EXPECT_FALSE(app.iniBytes().contains("Redial")) << "the redial option waits for the exit";
    app.exit();
    EXPECT_TRUE(app.iniBytes().contains("Redial=0\r\n"));
}

TEST(StartupShutdown, ClosingTheMainWindowEndsTheProgram) {
    AppHarness app;
    app.start();
    app.time.advance(5000);
    app.main().close();
    EXPECT_TRUE(app.program().application().quitting());
    app.destroy();
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched", "OBU Closed"}));
}

TEST(StartupShutdown, ALogThatCannotBeMadeIsReportedAndTheSettingsAreStillKept) {
    AppHarness app;
    app.writeIni("[Options]\r\nSound=0\r\n[Position]\r\nx=300\r\ny=200\r\n");
    ASSERT_TRUE(QDir().mkdir(app.folder.file("log.txt")));
    app.start();
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].caption, "OBU v1.3");
    EXPECT_EQ(app.dialogs.boxes()[0].text,
              "File access denied: " + app.folder.file("log.txt") + ".");
    EXPECT_EQ(app.dialogs.boxes()[0].icon, MsgIcon::Error);
    // The start went on: the settings were read.
    EXPECT_FALSE(app.trayItem("soundOption")->isChecked());
    EXPECT_EQ(app.main().x(), 300);
    app.time.advance(5000);
    EXPECT_TRUE(app.main().isVisible());
    app.exit();
    const QByteArray after = app.iniBytes();
    EXPECT_TRUE(after.contains("Sound=0\r\n"));
    EXPECT_TRUE(after.contains("x=300\r\ny=200\r\n")) << "nothing was overwritten with defaults";
}

TEST(StartupShutdown, AFolderThatCannotBeWrittenLosesNothingAndKeepsTheProgramRunning) {
    AppHarness app;
    const QByteArray stored = "[Options]\r\nSound=0\r\n[Position]\r\nx=300\r\ny=200\r\n";
    app.writeIni(stored);
    app.profile = std::make_unique<RefusingProfile>();
    ASSERT_TRUE(QDir().mkdir(app.folder.file("log.txt")));
    app.start();
    app.time.advance(5000);
    EXPECT_TRUE(app.main().isVisible());
    // A tray option cannot be written: the box says which file, the program goes on.
    app.trayItem("soundOption")->trigger();
    ASSERT_EQ(app.dialogs.boxes().size(), 2u);
    EXPECT_EQ(app.dialogs.boxes()[1].text,
              "Unable to write to " + app.folder.file("obu.ini") + ".");
    app.time.advance(1000);
    app.exit();
    // The failed save does not stop the attempt to log the close.
    ASSERT_EQ(app.dialogs.boxes().size(), 4u);
    EXPECT_EQ(app.dialogs.boxes()[2].text,
              "Unable to write to " + app.folder.file("obu.ini") + ".");
    EXPECT_EQ(app.dialogs.boxes()[3].text,
              "File access denied: " + app.folder.file("log.txt") + ".");
    EXPECT_EQ(app.iniBytes(), stored);
}

TEST(StartupShutdown, ASettingsFileTooLargeToReadIsSaidAtStartAndLeftAlone) {
    AppHarness app;
    QByteArray huge = "[Options]\r\nSound=0\r\n";
    huge.append(17 * 1024 * 1024, ';');
    app.writeIni(huge);
    app.start();
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.dialogs.boxes()[0].text, "Unable to read " + app.folder.file("obu.ini") +
                                               " (it is larger than 16 MB); the settings start "
                                               "from their defaults and are not saved.");
    app.time.advance(5000);
    app.exit();
    EXPECT_EQ(app.dialogs.boxes().size(), 1u) << "no complaint at exit";
    EXPECT_EQ(app.iniBytes().size(), huge.size());
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched", "OBU Closed"}));
}

TEST(StartupShutdown, ACloseIsLoggedWhenTheSaveFails) {
    AppHarness app;
    app.profile = std::make_unique<RefusingProfile>();
    app.start();
    app.time.advance(5000);
    app.exit();
    ASSERT_EQ(app.dialogs.boxes().size(), 1u);
    EXPECT_EQ(app.logMessages(), QStringList({"OBU Launched", "OBU Closed"}));
}
