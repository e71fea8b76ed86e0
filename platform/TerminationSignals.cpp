#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace obu {
namespace {

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t signalled = 0;
bool caught = false;

void onSignal(int) {
    // Only async-signal-safe calls here.
    signalled = 1;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void TerminationSignals::catchEarly() {
    if (caught) return;
    caught = true;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) signalPipe[0] = signalPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t letThrough;
    sigemptyset(&letThrough);
    for (int sig : {SIGTERM, SIGINT, SIGQUIT, SIGHUP}) {
        struct sigaction before {};
        sigaction(sig, nullptr, &before);
        // Whoever started us with hangups ignored wants the program to outlive
        // its terminal. SIGINT and SIGQUIT are caught even so: a shell ignores
        // them in every background job without anyone asking.
        if (sig == SIGHUP && before.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
        sigaddset(&letThrough, sig);
    }
    sigprocmask(SIG_UNBLOCK, &letThrough, nullptr);
}

bool TerminationSignals::requested() {
    return signalled != 0;
}

TerminationSignals::TerminationSignals(std::function<void()> handler)
    : m_onSignal(std::move(handler)) {
    catchEarly();
    if (signalPipe[0] < 0) return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        if (m_onSignal) m_onSignal();
    });
}

// The handlers stay: a signal during the last steps of the shutdown changes nothing.
TerminationSignals::~TerminationSignals() = default;

}  // namespace obu
