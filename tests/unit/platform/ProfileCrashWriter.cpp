// profile_crash_writer FILE RUN
// Writes the planned keys into FILE, one after another, until it is killed.
// Prints 'R' once it is ready and '.' after every write that returned, so
// that the test knows how far it got.
#include <QString>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include <sys/prctl.h>
#include <unistd.h>

#include "platform/IniFileProfile.h"
#include "tests/unit/platform/ProfileCrashPlan.h"

namespace {

void report(char c) {
    while (::write(STDOUT_FILENO, &c, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 64;
    // Never outlive a test that went away.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int run = std::atoi(argv[2]);

    obu::IniFileProfile profile;
    report('R');
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (long n = 0; std::chrono::steady_clock::now() < giveUp; ++n) {
        const obu::test::crash::Write w = obu::test::crash::planned(run, n);
        if (!profile.writeString(path, w.section, w.key, w.value)) return 3;
        report('.');
    }
    return 4;
}
