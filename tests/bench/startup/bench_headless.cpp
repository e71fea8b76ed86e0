// The keeper without windows (obu --headless) beside a bare Qt Core + D-Bus
// program, in the same run: the peak memory of each (ru_maxrss, once it has
// started and fallen idle) and the time from its start to "OBU Launched" on
// its standard output (the bare program: to its first line), and the
// quickest start of each. Each program
// runs in a fresh folder with its own HOME and XDG folders and no display;
// both reach the session bus when there is one. Medians of OBU_BENCH_RUNS
// runs (default 5). Prints figures; never fails.
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
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Figures {
    double startMs = 0;
    double peakMb = 0;
};

double processorSeconds(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    // utime and stime, the 14th and 15th fields, after the name in brackets.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The environment of a user without a display, in the folder `home`.
std::vector<std::string> environmentIn(const QString& home) {
    const auto ours = [](const std::string& var) {
        for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "HOME=", "XDG_CONFIG_HOME=",
                                 "XDG_STATE_HOME=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM="})
            if (var.rfind(name, 0) == 0) return true;
        return false;
    };
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (!ours(*e)) environment.emplace_back(*e);
    const std::string h = home.toStdString();
    for (const char* folder : {"/config", "/state", "/runtime"}) QDir().mkpath(home + folder);
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.push_back("HOME=" + h);
    environment.push_back("XDG_CONFIG_HOME=" + h + "/config");
    environment.push_back("XDG_STATE_HOME=" + h + "/state");
    environment.push_back("XDG_RUNTIME_DIR=" + h + "/runtime");
    environment.push_back("OBU_LINES_DIR=" + h + "/lines");
    environment.push_back("OBU_PHONEBOOK=" + h + "/phonebook.pbk");
    return environment;
}

// Reads the program's output until a line holds `mark`; false after 20 s.
bool awaitLine(int fd, const QByteArray& mark) {
    QByteArray seen;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, n);
        if (seen.contains(mark)) return true;
    }
    return false;
}

// Starts the program, times its first line (or the mark), lets it fall idle,
// ends it with SIGTERM and reads its peak memory. False when the line never came.
bool runOnce(const std::string& path, const std::vector<std::string>& arguments,
             const QString& home, const QByteArray& mark, Figures& out) {
    std::vector<std::string> environment = environmentIn(home);
    std::vector<char*> envp, argv;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {path};
    args.insert(args.end(), arguments.begin(), arguments.end());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (rc != 0) {
        ::close(output[0]);
        return false;
    }
    const bool launched = awaitLine(output[0], mark);
    out.startMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    // Idle: no processor time taken for a few looks in a row.
    double last = -1;
    for (int still = 0; launched && still < 3 && clock.elapsed() < 20000;) {
        QThread::msleep(100);
        const double now = processorSeconds(pid);
        still = now == last ? still + 1 : 0;
        last = now;
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ::close(output[0]);
    out.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return launched;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void line(const char* what, const char* unit, double keeper, double bare, double goal) {
    const double ratio = bare > 0 ? keeper / bare : 0.0;
    std::printf(
        "  %-26s obu --headless %8.2f %-2s  bare %8.2f %-2s  ratio %5.2f  goal at most %.1f: %s\n",
        what, keeper, unit, bare, unit, ratio, goal, ratio <= goal ? "met" : "not met");
}

}  // namespace

int main() {
    const int runs = qEnvironmentVariableIsSet("OBU_BENCH_RUNS")
                         ? std::max(1, qEnvironmentVariableIntValue("OBU_BENCH_RUNS"))
                         : 5;
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/program");
    // The keeper alone in a folder of its own: its settings and log beside it.
    if (!QDir().mkpath(program) ||
        !QFile::copy(QStringLiteral(OBU_PROGRAM), program + QStringLiteral("/obu"))) {
        std::printf("bench_headless: skipped, the program could not be copied from %s\n",
                    OBU_PROGRAM);
        return 0;
    }
    QFile::setPermissions(program + QStringLiteral("/obu"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::vector<double> keeperStart, keeperPeak, bareStart, barePeak;
    for (int run = 0; run < runs; ++run) {
        const QString home = dir.path() + QStringLiteral("/home%1").arg(run);
        Figures f;
        if (runOnce(OBU_BARE_CORE, {}, home + QStringLiteral("-bare"), "Launched", f)) {
            bareStart.push_back(f.startMs);
            barePeak.push_back(f.peakMb);
        }
        QFile::remove(program + QStringLiteral("/obu.ini"));
        if (runOnce((program + QStringLiteral("/obu")).toStdString(), {"--headless"}, home,
                    "OBU Launched", f)) {
            keeperStart.push_back(f.startMs);
            keeperPeak.push_back(f.peakMb);
        }
    }
    if (keeperStart.empty() || bareStart.empty()) {
        std::printf(
            "bench_headless: no figures, a program never said its first line (%zu, %zu of %d)\n",
            keeperStart.size(), bareStart.size(), runs);
        return 0;
    }
    std::printf(
        "bench_headless: medians of %d runs, no display, against a bare Qt Core + D-Bus program\n",
        runs);
    line("peak memory", "MB", median(keeperPeak), median(barePeak), 1.3);
    line("start to \"OBU Launched\"", "ms", median(keeperStart), median(bareStart), 1.5);
    // On a busy machine the median wanders with the load; the quickest start
    // of each shows what the start itself costs.
    std::printf("  %-26s obu --headless %8.2f ms  bare %8.2f ms  ratio %5.2f\n", "quickest start",
                *std::min_element(keeperStart.begin(), keeperStart.end()),
                *std::min_element(bareStart.begin(), bareStart.end()),
                *std::min_element(keeperStart.begin(), keeperStart.end()) /
                    *std::min_element(bareStart.begin(), bareStart.end()));
    return 0;
}
