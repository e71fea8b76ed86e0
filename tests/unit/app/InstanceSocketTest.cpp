#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <atomic>
#include <thread>

#include "app/InstanceSocket.h"
#include "app/SingleInstance.h"
#include "tests/support/TempFolder.h"

using namespace obu;

namespace {

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "instance_socket_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct Stat {
    bool exists = false;
    mode_t mode = 0;
};
Stat statOf(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return {};
    return {true, st.st_mode};
}

void touch(const QByteArray& path) {
    ::close(::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
}

struct InstanceSocketTest : ::testing::Test {
    test::TempFolder folder;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray savedTemp = qgetenv("TMPDIR");
    QByteArray runtime, temp;

    void SetUp() override {
        application();
        runtime = QFile::encodeName(folder.file("run"));
        temp = QFile::encodeName(folder.file("tmp"));
        ASSERT_EQ(::mkdir(runtime.constData(), 0700), 0);
        ASSERT_EQ(::mkdir(temp.constData(), 01777), 0);
        ::chmod(temp.constData(), 01777);
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temp);
        ASSERT_TRUE(QDir().mkdir(folder.file("data")));
    }
    void TearDown() override {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("TMPDIR", savedTemp);
    }

    // Asks the running copy from another thread while this one serves it.
    bool askFromAnotherThread(SingleInstance& second, int timeoutMs) {
        std::atomic<bool> done = false;
        bool answered = false;
        std::thread asker([&] {
            answered = second.signalRunningCopy(timeoutMs);
            done = true;
        });
        while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        asker.join();
        return answered;
    }
};

}  // namespace

TEST_F(InstanceSocketTest, ALaterStartReachesTheRunningCopyInTheRuntimeFolderAndWaitsForItsOk) {
    const QString data = folder.file("data/");
    SingleInstance running(data);
    ASSERT_EQ(running.acquire(), SingleInstance::Claim::Acquired);
    int shown = 0;
    ASSERT_TRUE(running.listen([&] { ++shown; })) << running.listenProblem().toStdString();

    const QStringList inRuntime = QDir(folder.file("run")).entryList(QDir::System);
    ASSERT_EQ(inRuntime.size(), 1);
    EXPECT_TRUE(inRuntime[0].startsWith("obu-linekeeper-"));
    const Stat socket = statOf(runtime + '/' + inRuntime[0].toLatin1());
    EXPECT_TRUE(S_ISSOCK(socket.mode));
    EXPECT_EQ(socket.mode & 0777, 0600u);
    EXPECT_TRUE(QDir(folder.file("tmp")).isEmpty()) << "nothing in the shared temporary folder";

    SingleInstance later(data);
    ASSERT_EQ(later.acquire(), SingleInstance::Claim::HeldByAnother);
    EXPECT_TRUE(askFromAnotherThread(later, 5000)) << later.signalProblem().toStdString();
    EXPECT_EQ(shown, 1);
}

TEST_F(InstanceSocketTest, WithoutAPrivateRuntimeFolderAFolderOfItsOwnIsUsedAndLeftoversGo) {
    // A runtime folder that others may enter is no place for the socket.
    ::chmod(runtime.constData(), 0755);
    InstanceSocket listener("0123456789abcdef");
    EXPECT_EQ(listener.inRuntimeFolder(), "");
    const QByteArray own = listener.privateFolder();
    EXPECT_EQ(own,
              temp + "/obu-linekeeper-" + QByteArray::number(::geteuid()) + "-0123456789abcdef");
    // What a killed copy left: its folder and its socket.
    ASSERT_EQ(::mkdir(own.constData(), 0700), 0);
    touch(own + "/socket");
    const int fd = listener.listen();
    ASSERT_GE(fd, 0) << listener.problem().toStdString();
    EXPECT_EQ(listener.path(), own + "/socket");
    EXPECT_TRUE(S_ISSOCK(statOf(own + "/socket").mode));
    EXPECT_EQ(statOf(own).mode & 0777, 0700u);
    ::close(fd);
    listener.remove();
    EXPECT_FALSE(statOf(own).exists);
}

TEST_F(InstanceSocketTest, AFolderThatIsNotPrivateIsNeitherUsedNorCalled) {
    qunsetenv("XDG_RUNTIME_DIR");
    InstanceSocket socket("feedface00000000");
    const QByteArray own = socket.privateFolder();
    // A link laid in its place by someone else, pointing at a folder of theirs.
    ASSERT_TRUE(QDir().mkdir(folder.file("theirs")));
    ASSERT_EQ(::symlink(QFile::encodeName(folder.file("theirs")).constData(), own.constData()), 0);
    EXPECT_EQ(socket.listen(), -1);
    EXPECT_TRUE(socket.problem().endsWith("is a link")) << socket.problem().toStdString();
    EXPECT_FALSE(socket.askToShow(2000));
    EXPECT_TRUE(QDir(folder.file("theirs")).isEmpty());
    ASSERT_EQ(::unlink(own.constData()), 0);
    // A folder open to others, with something in it.
    ASSERT_EQ(::mkdir(own.constData(), 0755), 0);
    ::chmod(own.constData(), 0755);
    touch(own + "/other");
    EXPECT_EQ(socket.listen(), -1);
    EXPECT_TRUE(socket.problem().contains("is open to other users (mode 0755)"))
        << socket.problem().toStdString();
    if (::geteuid() == 0) {
        // Another user's folder of that name.
        ::chmod(own.constData(), 0700);
        ASSERT_EQ(::chown(own.constData(), 65534, 65534), 0);
        EXPECT_EQ(socket.listen(), -1);
        EXPECT_TRUE(socket.problem().contains("belongs to another user (uid 65534)"))
            << socket.problem().toStdString();
        EXPECT_FALSE(socket.askToShow(500));
    }
}

TEST_F(InstanceSocketTest, OnlyTheRunningCopysOkCountsAsAHandOver) {
    InstanceSocket silent("5555555555555555");
    const int fd = silent.listen();
    ASSERT_GE(fd, 0) << silent.problem().toStdString();
    // It takes the call but never answers.
    InstanceSocket later("5555555555555555");
    EXPECT_FALSE(later.askToShow(600));
    EXPECT_TRUE(later.problem().contains("did not answer")) << later.problem().toStdString();
    ::close(fd);
    silent.remove();
    // Nobody listens at all.
    EXPECT_FALSE(later.askToShow(300));
    EXPECT_TRUE(later.problem().startsWith("no copy listens")) << later.problem().toStdString();
}

TEST_F(InstanceSocketTest, APathTooLongForASocketIsSaid) {
    QByteArray deep = runtime;
    while (deep.size() < 120) {
        deep += "/a-rather-long-folder-name";
        ASSERT_EQ(::mkdir(deep.constData(), 0700), 0);
    }
    qputenv("XDG_RUNTIME_DIR", deep);
    // The temporary folder is short: the socket goes there instead.
    InstanceSocket socket("0000000000000001");
    int fd = socket.listen();
    ASSERT_GE(fd, 0) << socket.problem().toStdString();
    EXPECT_TRUE(socket.path().startsWith(temp));
    ::close(fd);
    socket.remove();
    qputenv("TMPDIR", deep);
    fd = socket.listen();
    EXPECT_EQ(fd, -1);
    EXPECT_TRUE(socket.problem().contains("is too long for a Unix socket"))
        << socket.problem().toStdString();
    EXPECT_TRUE(socket.problem().contains("at most 107")) << socket.problem().toStdString();
}
