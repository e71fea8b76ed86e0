// The yardstick of the headless benchmark: a bare Qt Core + D-Bus program
// that connects to the session bus when there is one, says one line and ends
// its loop on SIGTERM, as any well-behaved service would.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

namespace {

int signalPipe[2] = {-1, -1};

void onTerm(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onTerm);
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        QDBusConnection::sessionBus().isConnected();
    std::puts("Launched");
    std::fflush(stdout);
    return app.exec();
}
