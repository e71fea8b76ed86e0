// The registry as a watching program sees it, on the real Qt loop: changes
// made elsewhere in quick succession are all heard and read right, a record
// that cannot be read fails the list rather than shortening it, and files
// that are not records hang no reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>

#include "dialup/phonebook/ConnectionRegistry.h"
#include "dialup/phonebook/LineService.h"
#include "platform/OpenFileLimit.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "tests/support/TempFolder.h"

namespace obu::test {
namespace {

constexpr int kDeadlineMs = 20000;

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "phonebook_registry_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

bool runLoopUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > kDeadlineMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

std::vector<std::pair<CallId, CallState>> listed(DialUpService& service, DialUpError* result) {
    QList<CallInfo> calls;
    *result = service.calls(&calls);
    std::vector<std::pair<CallId, CallState>> out;
    for (const CallInfo& c : calls) out.emplace_back(c.id, c.state);
    return out;
}

LineRecord dialOn(const QByteArray& device) {
    LineRecord record;
    record.entry = "Elsewhere";
    record.device = device;
    record.startedAt = 1000;
    return record;
}

// Lowers the soft limit of open files and takes every descriptor under it but
// one: a folder can still be opened, no file in it. Returns those taken.
std::vector<int> takeAllDescriptorsButOne() {
    rlimit low{};
    ::getrlimit(RLIMIT_NOFILE, &low);
    low.rlim_cur = std::min<rlim_t>(256, low.rlim_max);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) taken.push_back(fd);
    ::close(taken.back());
    taken.pop_back();
    return taken;
}

class RegistryTest : public ::testing::Test {
protected:
    TempFolder folder;
    SystemClock clock;
    QtEventLoop loop;
    LineService::Paths paths() const { return {folder.file("none.pbk"), folder.file("lines")}; }
    void SetUp() override { application(); }
};

TEST_F(RegistryTest, AWatcherHearsEveryChangeMadeElsewhereInQuickSuccessionAndListsWhatIsThere) {
    LineService watcher(clock, loop, paths());
    std::vector<std::pair<CallId, CallState>> announced;
    std::multiset<CallId> ended;
    QObject::connect(&watcher, &DialUpService::callsChanged, [&] {
        DialUpError result = 0;
        announced = listed(watcher, &result);
        EXPECT_EQ(result, dialup_error::None) << watcher.problem().toStdString();
    });
    QObject::connect(&watcher, &DialUpService::callEnded,
                     [&](CallId id, DialUpError) { ended.insert(id); });

    // Another writer, on a thread of its own so that its changes fall between
    // and during the watcher's looks.
    std::set<CallId> endedThere;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        ConnectionRegistry there(folder.file("lines"), clock);
        for (int i = 0; i < 60; ++i) {
            LineRecord record = dialOn("Modem " + QByteArray::number(i));
            const CallId handle = there.add(record);
            for (const CallState stage :
                 {CallState::PortOpened, CallState::ConnectDevice, CallState::Connected})
                there.modify(handle, [&](LineRecord& r) {
                    r.state = stage;
                    return true;
                });
            if (i % 3 == 0) there.remove(handle);
            if (i % 5 == 1) there.endByProvider(handle);
            if (i % 3 == 0 || i % 5 == 1) endedThere.insert(handle);
        }
        done = true;
    });
    EXPECT_TRUE(runLoopUntil([&] { return done.load(); }));
    writer.join();

    LineService fresh(clock, loop, paths());
    DialUpError result = 0;
    const auto truth = listed(fresh, &result);
    ASSERT_EQ(result, dialup_error::None);
    ASSERT_EQ(truth.size(), 60u - endedThere.size());
    // The last change is announced too, and the list announced is the truth.
    EXPECT_TRUE(runLoopUntil([&] { return announced == truth; }));
    // Each end heard once (a call that came and went between two looks is
    // never heard of at all).
    for (const CallId id : ended) {
        EXPECT_EQ(ended.count(id), 1u) << id;
        EXPECT_TRUE(endedThere.count(id)) << id;
    }
}

TEST_F(RegistryTest, ARecordThatCannotBeReadFailsTheListInsteadOfShorteningIt) {
    ConnectionRegistry there(folder.file("lines"), clock);
    std::vector<CallId> handles;
    for (int i = 0; i < 5; ++i) {
        LineRecord record = dialOn("Modem " + QByteArray::number(i));
        handles.push_back(there.add(record));
    }
    // One service reads the whole folder after a change (nothing names the
    // records that changed to it); the other, listening, reads the record
    // that the folder's events name.
    LineService whole(clock, loop, paths());
    LineService watcher(clock, loop, paths());
    int changes = 0;
    QObject::connect(&watcher, &DialUpService::callsChanged, [&] { ++changes; });
    DialUpError result = 0;
    ASSERT_EQ(listed(whole, &result).size(), 5u);
    ASSERT_EQ(listed(watcher, &result).size(), 5u);

    int round = 0;
    for (LineService* looking : {&whole, &watcher}) {
        SCOPED_TRACE(looking == &whole ? "the whole folder" : "the record named");
        ASSERT_EQ(there.modify(handles[2],
                               [&](LineRecord& r) {
                                   r.state = ++round == 1 ? CallState::ConnectDevice
                                                          : CallState::DeviceConnected;
                                   return true;
                               }),
                  ConnectionRegistry::Change::Done);
        std::vector<int> taken = takeAllDescriptorsButOne();
        const auto during = listed(*looking, &result);
        for (const int fd : taken) ::close(fd);
        EXPECT_EQ(result, dialup_error::Unknown) << during.size() << " calls listed";
        EXPECT_TRUE(during.empty());
        EXPECT_TRUE(looking->problem().contains(QString::fromLocal8Bit(std::strerror(EMFILE))))
            << looking->problem().toStdString();
        // Descriptors free again: the whole list, with the change in it.
        const auto after = listed(*looking, &result);
        EXPECT_EQ(result, dialup_error::None);
        ASSERT_EQ(after.size(), 5u);
        EXPECT_TRUE(std::count(after.begin(), after.end(),
                               std::pair{handles[2], round == 1 ? CallState::ConnectDevice
                                                                : CallState::DeviceConnected}));
    }
    EXPECT_TRUE(runLoopUntil([&] { return changes > 0; }));

    // The programs take every descriptor they may have at start.
    EXPECT_TRUE(raiseOpenFileLimit());
    rlimit now{};
    ::getrlimit(RLIMIT_NOFILE, &now);
    EXPECT_EQ(now.rlim_cur, now.rlim_max);
}

TEST_F(RegistryTest, AFifoNamedLikeARecordIsSkippedAndHangsNoReaderNorDial) {
    ConnectionRegistry there(folder.file("lines"), clock);
    LineRecord record = dialOn("Modem");
    const CallId handle = there.add(record);
    ASSERT_NE(handle, 0u);
    const QByteArray lines = QFile::encodeName(folder.file("lines"));
    ASSERT_EQ(::mkfifo((lines + "/conn-0000000A").constData(), 0600), 0);

    LineService watcher(clock, loop, paths());
    int changes = 0;
    QObject::connect(&watcher, &DialUpService::callsChanged, [&] { ++changes; });
    DialUpError result = 0;
    EXPECT_EQ(listed(watcher, &result),
              (std::vector<std::pair<CallId, CallState>>{{handle, CallState::OpenPort}}));
    EXPECT_EQ(result, dialup_error::None);
    // A dial reads every record before it takes a modem.
    LineRecord another = dialOn("Other Modem");
    EXPECT_NE(there.add(another), 0u);
    // One put in place while the watcher looks on is named to it, and skipped.
    EXPECT_TRUE(runLoopUntil([&] { return changes > 0; }));
    ASSERT_EQ(::mkfifo((lines + "/fifo").constData(), 0600), 0);
    ASSERT_EQ(::rename((lines + "/fifo").constData(), (lines + "/conn-0000000B").constData()), 0);
    const int before = changes;
    there.modify(handle, [](LineRecord& r) {
        r.state = CallState::PortOpened;
        return true;
    });
    EXPECT_TRUE(runLoopUntil([&] { return changes > before; }));
    EXPECT_EQ(listed(watcher, &result).size(), 2u);
    EXPECT_EQ(result, dialup_error::None);
    EXPECT_EQ(there.modify(0x0B, [](LineRecord&) { return true; }),
              ConnectionRegistry::Change::Gone);
}

}  // namespace
}  // namespace obu::test
