// The modem emulator as a program of its own, over its pseudo-terminal: it
// sleeps while no program has the device open, and reads numbers in commands
// with bounds.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "tests/unit/dialup/modem/SerialTestSupport.h"

namespace obu::test {
namespace {

// Processor time of a process so far, in clock ticks.
long long cpuTicks(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// Sends a command line and collects the answer up to its result.
QByteArray ask(int fd, const QByteArray& command) {
    const QByteArray line = command + '\r';
    if (::write(fd, line.constData(), line.size()) != line.size()) return {};
    QByteArray answer;
    waitFor([&] {
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) answer.append(buf, n);
        return answer.contains("OK\r\n") || answer.contains("ERROR\r\n");
    });
    return answer;
}

TEST(EmulatorTest, WithNothingAttachedItSleepsAndWakesWhenTheDeviceIsOpened) {
    application();
    TempFolder folder;
    Emulator emulator(folder, {"--reset-ms", "0"});
    ASSERT_FALSE(emulator.pts().isEmpty());
    // The pseudo-terminal reports a hang-up while nobody has it open; the
    // emulator must wait for an open, not spin on that report.
    const long long before = cpuTicks(emulator.pid());
    QElapsedTimer waited;
    waited.start();
    waitFor([&] { return waited.elapsed() >= 1500; });
    const long long used = cpuTicks(emulator.pid()) - before;
    const long long elapsedTicks = waited.elapsed() * ::sysconf(_SC_CLK_TCK) / 1000;
    EXPECT_LT(used * 20, elapsedTicks) << used << " ticks of processor time in " << elapsedTicks;

    const int fd = ::open(emulator.pts().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ask(fd, "ATE0").contains("OK")) << "no answer once the device was opened";
    ::close(fd);
}

TEST(EmulatorTest, RegisterNumbersAndValuesAreReadWithBounds) {
    application();
    TempFolder folder;
    Emulator emulator(folder, {"--reset-ms", "0"});
    const int fd = ::open(emulator.pts().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(ask(fd, "ATE0").contains("OK"));
    EXPECT_TRUE(ask(fd, "ATS7=60").contains("OK"));
    EXPECT_TRUE(ask(fd, "ATS7?").contains("060"));
    for (const char* tooLarge : {"ATS99999999999=1", "ATS7=99999999999", "ATS256=1", "ATS7=256",
                                 "ATE99999999999", "ATX4294967297"})
        EXPECT_TRUE(ask(fd, tooLarge).contains("ERROR")) << tooLarge;
    EXPECT_TRUE(ask(fd, "ATS7?").contains("060"));  // unchanged
    EXPECT_TRUE(emulator.running());
    ::close(fd);
}

TEST(EmulatorTest, ACommandStartsAtItsAtInEitherCaseAndASlashRepeatsTheLast) {
    application();
    TempFolder folder;
    Emulator emulator(folder, {"--reset-ms", "0"});
    const int fd = ::open(emulator.pts().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    // Echoed byte by byte while the echo is on.
    EXPECT_TRUE(ask(fd, "aTs7=61").startsWith("aTs7=61\r")) << "no echo";
    ASSERT_TRUE(ask(fd, "ate0").contains("OK"));
    // Noise before a command is dropped; a line without AT is no command.
    EXPECT_TRUE(ask(fd, "+++xyat S7?").contains("061"));
    EXPECT_TRUE(ask(fd, "S7=62\rAtS7?").contains("061"));
    // A/ runs the last command again at once, without a line end.
    const QByteArray slash = "a/";
    ASSERT_EQ(::write(fd, slash.constData(), slash.size()), slash.size());
    QByteArray again;
    waitFor([&] {
        char buf[64];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) again.append(buf, n);
        return again.contains("OK\r\n");
    });
    EXPECT_TRUE(again.contains("061")) << again.constData();
    ::close(fd);
}

}  // namespace
}  // namespace obu::test
