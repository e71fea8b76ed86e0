// Start-up and exit of the real program on a private X server, each figure
// beside a bare Qt program that shows one 600 x 216 window (built in the same
// tree, measured in the same run): how soon the splash picture is on the
// screen, the peak memory, the processor time from start to exit, and how
// long SIGTERM takes to end it after a setting changed. Then the same with a
// 10,000-line obu.ini against the small one, and with a 1,000-entry phone book
// against a small one. Medians of OBU_BENCH_RUNS runs
// (default 5); OBU_BENCH_PROGRAM_DIR measures the program of another build.
// Prints figures; never fails.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "tests/bench/startup/XServer.h"

extern char** environ;

namespace {

using obu::bench::XServer;

struct Figures {
    double paintedMs = 0;
    double peakMb = 0;
    double processorS = 0;
    double exitMs = 0;
};

struct Program {
    std::string path;
    std::vector<std::string> arguments;
    int width, height;
};

// Starts the program, waits for its picture and for it to fall idle, then
// ends it with SIGTERM. False when it never showed its picture.
bool runOnce(const XServer& x, const Program& program, const QString& lines,
             const QString& phoneBook, Figures& out) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string var(*e);
        if (var.rfind("DISPLAY=", 0) != 0 && var.rfind("WAYLAND_DISPLAY=", 0) != 0)
            environment.push_back(var);
    }
    environment.push_back("DISPLAY=" + x.name().toStdString());
    // A working sound device, as on a desktop.
    environment.push_back("SDL_AUDIODRIVER=dummy");
    environment.push_back("OBU_LINES_DIR=" + lines.toStdString());
    environment.push_back("OBU_PHONEBOOK=" + phoneBook.toStdString());
    std::vector<char*> envp, argv;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {program.path};
    args.insert(args.end(), program.arguments.begin(), program.arguments.end());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, program.path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;

    bool painted = false;
    while (!(painted = x.showsPicture(program.width, program.height)) && clock.elapsed() < 20000)
        QThread::usleep(500);
    out.paintedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    // Idle: no processor time taken for a few looks in a row.
    double last = -1;
    for (int still = 0; painted && still < 3 && clock.elapsed() < 20000;) {
        QThread::msleep(100);
        const double now = obu::bench::processorSeconds(pid);
        still = now == last ? still + 1 : 0;
        last = now;
    }

    QElapsedTimer exit;
    exit.start();
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    out.exitMs = static_cast<double>(exit.nsecsElapsed()) / 1e6;
    out.processorS = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    out.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return painted;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Figures medianOf(const std::vector<Figures>& runs) {
    std::vector<double> painted, peak, processor, exit;
    for (const Figures& f : runs) {
        painted.push_back(f.paintedMs);
        peak.push_back(f.peakMb);
        processor.push_back(f.processorS);
        exit.push_back(f.exitMs);
    }
    return {median(painted), median(peak), median(processor), median(exit)};
}

void line(const char* what, const char* unit, double program, const char* baseName, double base,
          const char* goal) {
    std::printf("  %-22s obu %8.3f %-3s  %-9s %8.3f %-3s  ratio %5.2f  %s\n", what, program, unit,
                baseName, base, unit, base > 0 ? program / base : 0.0, goal);
}

bool copyProgram(const QString& from, const QString& to) {
    const QStringList files = QDir(from).entryList(QDir::Files);
    for (const QString& name : files) {
        if (name == QLatin1String("obu.ini") || name == QLatin1String("log.txt") ||
            name == QLatin1String("obu.lock"))
            continue;
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return QFile::setPermissions(to + QStringLiteral("/obu"),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

// The settings of an earlier run, without the window position: the exit
// has a changed setting to save.
const QByteArray kSmallIni =
    "[Options]\r\nSound=1\r\nMinimize=0\r\nMinimize Dun=0\r\nRedial=1\r\n"
    "[Alarm]\r\nDaily=0\r\nTime=\r\n"
    "[Connection]\r\nAutoConnect=0\r\nName=Demo ISP\r\nUsername=someone\r\nPassword=xyz\r\n"
    "[Lights]\r\n1=0\r\n2=0\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n";

QByteArray bigIni() {
    // Foreign sections first, so that every look-up has the whole file to pass.
    QByteArray text;
    for (int section = 0; section < 1000; ++section) {
        text += "[Foreign " + QByteArray::number(section) + "]\r\n";
        for (int key = 0; key < 9; ++key)
            text += "key" + QByteArray::number(key) + "=a value of some length, " +
                    QByteArray::number(section * 9 + key) + "\r\n";
    }
    return text + kSmallIni;
}

// The demo entries written out, and the same with 993 more providers around
// them, as a user with a long list of numbers would have.
QByteArray phoneBook(int entries) {
    const QByteArray demo =
        "[Demo ISP]\r\nPhoneNumber=555-0100\r\n"
        "[Demo Busy]\r\nPhoneNumber=555-0101\r\nBusyCount=2\r\n"
        "[Demo Always Busy]\r\nPhoneNumber=555-0102\r\nFail=busy\r\n"
        "[Demo No Dial Tone]\r\nPhoneNumber=555-0103\r\nFail=no-dial-tone\r\n"
        "[Demo No Answer]\r\nPhoneNumber=555-0104\r\nFail=no-answer\r\nDialDelay=10000\r\n"
        "[Demo Bad Password]\r\nPhoneNumber=555-0105\r\nFail=login\r\n"
        "[Demo Drop]\r\nPhoneNumber=555-0106\r\nDropAfter=60\r\n";
    QByteArray text;
    const int more = entries - 7;
    for (int i = 0; i < more; ++i) {
        if (i == more / 2) text += demo;
        text += "[Provider " + QByteArray::number(i) + "]\r\nPhoneNumber=555-" +
                QByteArray::number(i % 10000).rightJustified(4, '0') +
                "\r\nDevice=Simulated Modem\r\nDialDelay=2500\r\n";
    }
    return more > 0 ? text : demo;
}

// The figures side by side: the program against a bare Qt program, a large
// obu.ini and a large phone book against small ones.
void report(int runs, const Figures& b, const Figures& s, const Figures& g, const Figures& p) {
    std::printf(
        "bench_startup: medians of %d runs on Xvfb, against a bare Qt program with one 600x216 "
        "window\n",
        runs);
    line("splash painted", "ms", s.paintedMs, "bare Qt", b.paintedMs, "(goal: under 2)");
    line("peak memory", "MB", s.peakMb, "bare Qt", b.peakMb, "(goal: at most 1.3)");
    line("processor time", "s", s.processorS, "bare Qt", b.processorS, "(goal: at most 2)");
    line("SIGTERM to exit", "ms", s.exitMs, "bare Qt", b.exitMs, "(goal: obu under 30 ms)");
    std::printf(
        "bench_startup: a 10,000-line obu.ini against the small one (medians of the same runs)\n");
    line("splash painted", "ms", g.paintedMs, "small", s.paintedMs, "");
    line("processor time", "s", g.processorS, "small", s.processorS, "(goal: at most 1.5)");
    line("SIGTERM to exit", "ms", g.exitMs, "small", s.exitMs, "(goal: at most 1.5)");
    std::printf(
        "bench_startup: a 1,000-entry phone book against a 7-entry one (medians of the same "
        "runs)\n");
    line("splash painted", "ms", p.paintedMs, "small", s.paintedMs, "");
    line("peak memory", "MB", p.peakMb, "small", s.peakMb, "");
    line("processor time", "s", p.processorS, "small", s.processorS, "(goal: at most 1.5)");
    line("SIGTERM to exit", "ms", p.exitMs, "small", s.exitMs, "(goal: at most 1.5)");
}

}  // namespace

int main() {
    const int runs = qEnvironmentVariableIsSet("OBU_BENCH_RUNS")
                         ? std::max(1, qEnvironmentVariableIntValue("OBU_BENCH_RUNS"))
                         : 5;
    XServer x;
    if (!x.ok()) {
        std::printf("bench_startup: skipped, no Xvfb could be started\n");
        return 0;
    }
    QTemporaryDir dir;
    // Two copies of the program, one for each obu.ini.
    const QString small = dir.path() + QStringLiteral("/small");
    const QString big = dir.path() + QStringLiteral("/big");
    const QString lines = dir.path() + QStringLiteral("/lines");
    QDir().mkpath(lines);
    const QString smallBook = dir.path() + QStringLiteral("/small.pbk");
    const QString bigBook = dir.path() + QStringLiteral("/big.pbk");
    write(smallBook, phoneBook(7));
    write(bigBook, phoneBook(1000));
    // Another build's program (an earlier version, say) may be measured instead.
    const QString from = qEnvironmentVariableIsSet("OBU_BENCH_PROGRAM_DIR")
                             ? qEnvironmentVariable("OBU_BENCH_PROGRAM_DIR")
                             : QStringLiteral(OBU_BIN_DIR);
    for (const QString& folder : {small, big}) {
        if (!QDir().mkpath(folder) || !copyProgram(from, folder)) {
            std::printf("bench_startup: skipped, the program could not be copied from %s\n",
                        qPrintable(from));
            return 0;
        }
    }
    const Program obuSmall{(small + QStringLiteral("/obu")).toStdString(), {}, 322, 189};
    const Program obuBig{(big + QStringLiteral("/obu")).toStdString(), {}, 322, 189};
    const Program bare{
        OBU_BARE_QT, {(small + QStringLiteral("/obu-background.jpg")).toStdString()}, 600, 216};

    std::vector<Figures> bareRuns, smallRuns, bigRuns, bookRuns;
    for (int run = 0; run < runs; ++run) {
        // Written before the bare program runs, so that they are as settled
        // as a settings file from an earlier day when the program reads them.
        write(small + QStringLiteral("/obu.ini"), kSmallIni);
        write(big + QStringLiteral("/obu.ini"), bigIni());
        Figures f;
        if (runOnce(x, bare, lines, smallBook, f)) bareRuns.push_back(f);
        if (runOnce(x, obuSmall, lines, smallBook, f)) smallRuns.push_back(f);
        if (runOnce(x, obuBig, lines, smallBook, f)) bigRuns.push_back(f);
        write(small + QStringLiteral("/obu.ini"), kSmallIni);
        if (runOnce(x, obuSmall, lines, bigBook, f)) bookRuns.push_back(f);
    }
    if (bareRuns.empty() || smallRuns.empty() || bigRuns.empty() || bookRuns.empty()) {
        std::printf(
            "bench_startup: no figures, a program never showed its window (%zu, %zu, %zu, %zu of "
            "%d)\n",
            bareRuns.size(), smallRuns.size(), bigRuns.size(), bookRuns.size(), runs);
        return 0;
    }
    report(runs, medianOf(bareRuns), medianOf(smallRuns), medianOf(bigRuns), medianOf(bookRuns));
    return 0;
}
