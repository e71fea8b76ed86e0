// The PPP stage with pppd: its command line, the account passed on a pipe and
// never on the command line, every exit status mapped, a real pppd started on
// the emulator's line (this machine has no kernel PPP: the failure itself is
// what is checked), and chat from the ppp package talking to our emulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <set>

#include "dialup/modem/PppdLink.h"
#include "dialup/modem/UucpLock.h"
#include "dialup/phonebook/ErrorText.h"
#include "dialup/phonebook/LineService.h"
#include "tests/unit/dialup/modem/SerialTestSupport.h"

namespace obu::test {
namespace {

bool havePppd() {
    return ::access("/usr/sbin/pppd", X_OK) == 0;
}

QList<QByteArray> cmdline(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray all = f.readAll();
    if (all.endsWith('\0')) all.chop(1);
    return all.split('\0');
}

TEST(PppdLinkTest, TheCommandLineRunsOnTheConnectedLineWithTheEntrysOptionsAndNoSecrets) {
    PhoneBookEntry e;
    e.device = "/dev/ttyUSB0";
    e.speed = 57600;
    e.pppOptions = "defaultroute  mtu 1400 connect /bin/evil persist password x user bob";
    const QList<QByteArray> args = PppdLink::arguments(e, "/dev/ttyUSB0", 0xAB12);
    EXPECT_EQ(args.mid(0, 2), (QList<QByteArray>{"/dev/ttyUSB0", "57600"}));
    // "lock", never "nolock": pppd refuses that to anyone but root.
    for (const char* wanted : {"nodetach", "lock", "noauth", "crtscts"})
        EXPECT_TRUE(args.contains(wanted)) << wanted;
    EXPECT_FALSE(args.contains("nolock"));
    EXPECT_EQ(args[args.indexOf("+ua") + 1], "/dev/fd/3");
    EXPECT_EQ(args[args.indexOf("logfd") + 1], "1");
    EXPECT_EQ(args[args.indexOf("ipparam") + 1], "obu-0000AB12");
    // The entry's own options follow, without those that would dial again,
    // leave the line, or take the account from elsewhere.
    EXPECT_TRUE(args.contains("defaultroute"));
    EXPECT_EQ(args[args.indexOf("mtu") + 1], "1400");
    EXPECT_EQ(args[args.indexOf("user") + 1], "bob");
    for (const char* refused : {"connect", "/bin/evil", "persist", "password", "x"})
        EXPECT_FALSE(args.contains(refused)) << refused;

    // A peer file decides about authentication itself.
    e.pppPeer = "office";
    e.hardwareFlow = false;
    const QList<QByteArray> peer = PppdLink::arguments(e, "/dev/ttyUSB0", 1);
    EXPECT_FALSE(peer.contains("noauth"));
    EXPECT_EQ(peer[peer.indexOf("call") + 1], "office");
    EXPECT_TRUE(peer.contains("nocrtscts"));
    e.pppPeer = "../../etc/passwd";
    EXPECT_FALSE(PppdLink::arguments(e, "/dev/ttyUSB0", 1).contains("call"));

    EXPECT_EQ(PppdLink::accountText("joe", "se\ncret"), "joe\nsecret\n");
}

TEST(PppdLinkTest, EveryExitStatusHasACodeAndWords) {
    const std::map<int, DialUpError> expected = {
        {0, dialup_error::RemoteDisconnection}, {1, dialup_error::PppNoProtocols},
        {2, dialup_error::PppNoProtocols},      {3, dialup_error::PppNoProtocols},
        {4, dialup_error::CannotInitialize},    {5, dialup_error::Disconnection},
        {6, dialup_error::PortNotAvailable},    {7, dialup_error::PortNotAvailable},
        {8, dialup_error::FromDevice},          {9, dialup_error::PppNoProtocols},
        {10, dialup_error::PppTimeout},         {11, dialup_error::PppLcpTerminated},
        {12, dialup_error::Disconnection},      {13, dialup_error::Disconnection},
        {14, dialup_error::Disconnection},      {15, dialup_error::PppNoResponse},
        {16, dialup_error::PortDisconnected},   {17, dialup_error::PppLoopback},
        {18, dialup_error::FromDevice},         {19, dialup_error::AuthenticationFailure},
        {20, dialup_error::Disconnection},      {21, dialup_error::AuthenticationFailure},
    };
    std::set<QString> texts;
    for (const auto& [status, code] : expected) {
        SCOPED_TRACE(status);
        EXPECT_EQ(PppdLink::exitError(status), code);
        ASSERT_NE(dialUpErrorText(code), nullptr);
        EXPECT_LT(std::strlen(dialUpErrorText(code)), 100u);
        texts.insert(PppdLink::exitText(status));
    }
    EXPECT_EQ(texts.size(), expected.size());  // every status in words of its own
    EXPECT_TRUE(PppdLink::exitText(4).contains("no PPP support"));
    EXPECT_EQ(PppdLink::exitError(99), dialup_error::FromDevice);
}

TEST(PppdLinkTest, PppdsMessagesBecomeTheStages) {
    PppdLink link("/dev/ttyS0");
    EXPECT_EQ(link.stageOfLine("Using interface ppp0"), std::nullopt);
    EXPECT_EQ(link.stageOfLine("Connect: ppp0 <--> /dev/ttyS0"), std::nullopt);
    EXPECT_EQ(link.stageOfLine("PAP authentication succeeded"), CallState::Authenticated);
    EXPECT_EQ(link.stageOfLine("local  IP address 10.64.64.64"), std::nullopt);
    EXPECT_EQ(link.stageOfLine("remote IP address 10.112.112.112"), CallState::Projected);
    PppdLink chap("/dev/ttyS0");
    EXPECT_EQ(chap.stageOfLine("CHAP authentication succeeded: Access granted"),
              CallState::Authenticated);
}

// A real pppd on the emulator's line, started with our command line and the
// account pipe still open: while it waits for the account, its command line
// can be read. Then it gets the account and meets the machine's missing PPP.
TEST(PppdLinkTest, ARealPppdGetsTheAccountOnAPipeAndReportsTheMissingKernelSupport) {
    if (!havePppd()) GTEST_SKIP() << "pppd is not installed";
    application();
    TempFolder folder;
    Emulator emulator(folder, {});
    ASSERT_FALSE(emulator.pts().isEmpty());
    PhoneBookEntry e;
    e.device = emulator.pts().toLocal8Bit();
    int account[2];
    int out[2];
    ASSERT_EQ(::pipe2(account, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    SpawnOptions spawn;
    spawn.arguments << "/usr/sbin/pppd";
    spawn.arguments += PppdLink::arguments(e, e.device, 7);
    spawn.descriptors = {{account[0], 3}, {out[1], 1}, {out[1], 2}};
    const pid_t pid = spawnProcess(spawn);
    ::close(account[0]);
    ::close(out[1]);
    ASSERT_GT(pid, 0);
    // pppd reads "+ua" while it parses its options, and waits there for the
    // rest of the account (a read: system call 0).
    ASSERT_TRUE(waitFor(
        [&] {
            if (cmdline(pid).value(0) != "/usr/sbin/pppd") return false;
            QFile call(QStringLiteral("/proc/%1/syscall").arg(pid));
            return call.open(QIODevice::ReadOnly) && call.readAll().startsWith("0 ");
        },
        10000));
    const QList<QByteArray> seen = cmdline(pid);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen[0], "/usr/sbin/pppd");
    EXPECT_TRUE(seen.contains(e.device));
    for (const QByteArray& word : seen) {
        EXPECT_FALSE(word.contains("secret-pw"));
        EXPECT_FALSE(word.contains("joe-user"));
    }
    // Its descriptor 3 is a pipe, not a file anyone could open.
    char target[256] = {};
    const QByteArray fd3 = QStringLiteral("/proc/%1/fd/3").arg(pid).toLocal8Bit();
    ASSERT_GT(::readlink(fd3.constData(), target, sizeof target - 1), 0);
    EXPECT_TRUE(QByteArray(target).startsWith("pipe:")) << target;
    const QByteArray text = PppdLink::accountText("joe-user", "secret-pw");
    ASSERT_EQ(::write(account[1], text.constData(), text.size()), text.size());
    ::close(account[1]);
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return reapChild(pid, &status); }, 15000));
    QByteArray said(8192, 0);
    const ssize_t n = ::read(out[0], said.data(), said.size());
    ::close(out[0]);
    said.truncate(std::max<ssize_t>(n, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (::access("/dev/ppp", F_OK) == 0)
        GTEST_SKIP() << "this machine has kernel PPP: exit " << WEXITSTATUS(status);
    EXPECT_EQ(WEXITSTATUS(status), 4) << said.constData();
    EXPECT_EQ(PppdLink::exitError(WEXITSTATUS(status)), dialup_error::CannotInitialize);
    EXPECT_TRUE(said.contains("/dev/ppp")) << said.constData();
}

// The whole way of a real modem's entry: AT commands on the emulator's line,
// then pppd, which fails for want of kernel PPP with its own message, and the
// modem is put back on the hook with nothing left locked.
TEST(PppdLinkTest, ARealModemEntryIsDialledAndHandedToPppdWhichReportsNoKernelSupport) {
    if (!havePppd()) GTEST_SKIP() << "pppd is not installed";
    if (::access("/dev/ppp", F_OK) == 0) GTEST_SKIP() << "this machine has kernel PPP";
    application();
    TempFolder folder;
    Emulator emulator(folder, {"--ring-ms", "200", "--reset-ms", "50", "--no-echo-data"});
    folder.write("phonebook.pbk", "[Real]\nDevice=" + emulator.link().toLocal8Bit() +
                                      "\nPhoneNumber=555-0177\nInitString=AT&F&C1&D2\n");
    QDir(folder.path()).mkdir("locks");
    SystemClock clock;
    QtEventLoop loop;
    LineService::Paths paths{folder.file("phonebook.pbk"), folder.file("lines")};
    paths.lockDir = folder.file("locks");
    LineService service(clock, loop, paths);
    std::vector<std::pair<CallState, DialUpError>> got;
    QObject::connect(&service, &DialUpService::callStateChanged,
                     [&](CallId, CallState state, DialUpError error) {
                         got.push_back({state, error});
                     });
    DialRequest p;
    p.entry = "Real";
    p.userName = "joe";
    p.password = "secret";
    CallId h = 0;
    ASSERT_EQ(service.dial(p, &h), 0u);
    ASSERT_TRUE(runUntil([&] { return !got.empty() && got.back().second != 0; }, 20000));
    EXPECT_EQ(got.back(), (std::pair<CallState, DialUpError>{CallState::Authenticate,
                                                             dialup_error::CannotInitialize}));
    LineRecord record;
    ASSERT_TRUE(service.record(h, &record));
    EXPECT_TRUE(record.detail.contains("kernel has no PPP support")) << record.detail.constData();
    EXPECT_TRUE(record.detail.contains("/dev/ppp")) << record.detail.constData();
    EXPECT_EQ(record.port, emulator.link().toLocal8Bit());
    ASSERT_TRUE(runUntil([&] { return !service.settling(); }, 15000));
    EXPECT_TRUE(emulator.transcript().startsWith("ATZ\nAT&F&C1&D2\nATX4\nATDT5550177\n"));
    EXPECT_TRUE(emulator.transcript().endsWith("+++\nATH0\n")) << emulator.transcript().constData();
    EXPECT_TRUE(QDir(folder.file("locks")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(service.hangUp(h), 0u);
}

// Where pppd would bring the link up (a machine with kernel PPP), a stand-in
// that prints what pppd prints there shows how its messages, its process and
// a hang-up from outside are handled. The real pppd's part is the test above.
TEST(PppdLinkTest, AnUpLinkIsHeldByThePppdProcessAndAHangUpFromAnywhereEndsIt) {
    application();
    TempFolder folder;
    Emulator emulator(folder, {"--ring-ms", "100", "--reset-ms", "50", "--no-echo-data"});
    folder.write("pppd",
                 "#!/bin/sh\n"
                 "read user <&3; read pass <&3\n"
                 "echo \"$*\" > \"$(dirname \"$0\")/args\"\n"
                 "echo \"$$ $(tr -d ' ' < \"$(dirname \"$0\")/locks/LCK..modem\")\" >"
                 " \"$(dirname \"$0\")/lock-at-start\"\n"
                 "echo \"user=$user pass-length=${#pass}\" > \"$(dirname \"$0\")/account\"\n"
                 "echo 'Connect: ppp0 <--> '\"$1\"\n"
                 "echo 'PAP authentication succeeded'\n"
                 "echo 'local  IP address 10.0.0.2'\n"
                 "echo 'remote IP address 10.0.0.1'\n"
                 "trap 'exit 5' TERM\n"
                 "while :; do sleep 0.05; done\n");
    ::chmod(folder.file("pppd").toLocal8Bit().constData(), 0755);
    qputenv("OBU_PPPD", folder.file("pppd").toLocal8Bit());
    folder.write("phonebook.pbk",
                 "[Real]\nDevice=" + emulator.link().toLocal8Bit() + "\nPhoneNumber=1\n");
    QDir(folder.path()).mkdir("locks");
    SystemClock clock;
    QtEventLoop loop;
    LineService::Paths paths{folder.file("phonebook.pbk"), folder.file("lines")};
    paths.lockDir = folder.file("locks");
    LineService service(clock, loop, paths);
    LineService other(clock, loop, paths);
    std::vector<CallState> states;
    DialUpError error = 0;
    QObject::connect(&service, &DialUpService::callStateChanged,
                     [&](CallId, CallState state, DialUpError code) {
                         states.push_back(state);
                         if (code) error = code;
                     });
    DialRequest p;
    p.entry = "Real";
    p.userName = "joe";
    p.password = "secret";
    CallId h = 0;
    ASSERT_EQ(service.dial(p, &h), 0u);
    ASSERT_TRUE(runUntil(
        [&] { return error != 0 || (!states.empty() && states.back() == CallState::Connected); }));
    qunsetenv("OBU_PPPD");
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(states, (std::vector<CallState>{CallState::OpenPort, CallState::PortOpened,
                                              CallState::ConnectDevice, CallState::DeviceConnected,
                                              CallState::AllDevicesConnected,
                                              CallState::Authenticate, CallState::Authenticated,
                                              CallState::Projected, CallState::Connected}));
    EXPECT_EQ(folder.read("account"), "user=joe pass-length=6\n");
    EXPECT_FALSE(folder.read("args").contains("secret"));
    // The port's speed, not the 33600 of the modem's CONNECT.
    EXPECT_TRUE(folder.read("args").startsWith(emulator.link().toLocal8Bit() + " 115200 "))
        << folder.read("args").constData();
    // pppd found the device's lock in its own name from its first instruction.
    const QList<QByteArray> lockAtStart = folder.read("lock-at-start").trimmed().split(' ');
    ASSERT_EQ(lockAtStart.size(), 2);
    EXPECT_EQ(lockAtStart[0], lockAtStart[1]);
    LineRecord record;
    ASSERT_TRUE(other.record(h, &record));
    EXPECT_EQ(record.holderKind, "pppd");
    ASSERT_GT(record.holder, 0);
    EXPECT_TRUE(processAlive(ProcessId{record.holder, record.holderStart}));
    // The device's lock names pppd now.
    EXPECT_EQ(UucpLock::owner(UucpLock::lockPath(paths.lockDir, emulator.link().toLocal8Bit())),
              record.holder);
    // Another program hangs up: pppd is told to end, and ends; then that
    // program puts the modem back on the hook and the lock goes.
    const qsizetype before = emulator.transcript().size();
    EXPECT_EQ(other.hangUp(h), 0u);
    EXPECT_TRUE(other.settling());
    const ProcessId pppd{record.holder, record.holderStart};
    EXPECT_TRUE(runUntil([&] { return !processAlive(pppd); }, 10000));
    ASSERT_TRUE(runUntil([&] { return !other.settling(); }, 15000));
    // pppd's end dropped DTR, so the modem is in command mode: "+++" is no
    // escape there, and ATH0 is the command it gets.
    EXPECT_TRUE(emulator.transcript().mid(before).endsWith("ATH0\n"))
        << emulator.transcript().constData();
    EXPECT_TRUE(QDir(paths.lockDir).entryList(QDir::Files).isEmpty());
}

// chat, from the ppp package, is an outside judge of whether our emulator
// behaves like a modem: it dials with expect/send pairs as a connect script.
TEST(ChatTest, ChatDialsTheEmulatorAndStopsOnItsFailures) {
    if (::access("/usr/sbin/chat", X_OK) != 0) GTEST_SKIP() << "chat is not installed";
    application();
    TempFolder folder;
    const auto chat = [&](const QStringList& modemOptions, const QString& name) {
        Emulator emulator(folder,
                          QStringList{"--ring-ms", "200", "--reset-ms", "50"} + modemOptions, name);
        QProcess process;
        process.setStandardInputFile(emulator.pts());
        process.setStandardOutputFile(emulator.pts(), QIODevice::Append);
        process.start("/usr/sbin/chat", {"-t",    "5",           "ABORT",   "BUSY",
                                         "ABORT", "NO CARRIER",  "ABORT",   "NO DIALTONE",
                                         "ABORT", "NO ANSWER",   "ABORT",   "ERROR",
                                         "",      "ATZ",         "OK",      "ATE0V1",
                                         "OK",    "ATDT5550100", "CONNECT", ""});
        process.waitForFinished(20000);
        return std::make_pair(process.exitCode(), emulator.transcript());
    };
    const auto connected = chat({}, "c1");
    EXPECT_EQ(connected.first, 0);
    EXPECT_TRUE(connected.second.startsWith("ATZ\nATE0V1\nATDT5550100\n"))
        << connected.second.constData();
    // chat's exit status 4 + n is the n-th ABORT string seen.
    EXPECT_EQ(chat({"--answer", "busy"}, "c2").first, 4);
    EXPECT_EQ(chat({"--answer", "no-carrier"}, "c3").first, 5);
    EXPECT_EQ(chat({"--answer", "no-dialtone"}, "c4").first, 6);
    EXPECT_EQ(chat({"--answer", "no-answer"}, "c5").first, 7);
    EXPECT_EQ(chat({"--answer", "error"}, "c6").first, 8);
    // A modem that never speaks: chat's own time-out (exit 3).
    EXPECT_EQ(chat({"--mute"}, "c7").first, 3);
}

}  // namespace
}  // namespace obu::test
