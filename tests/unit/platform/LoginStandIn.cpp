// Stands in for logind on a private bus: owns org.freedesktop.login1 and
// sends the Manager's PrepareForSleep signal when told on standard input
// ("sleep" sends true, "wake" false). Says "ready" once it owns the name and
// "sent" after each signal, so a test waits for words, not for time.
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <cstdio>
#include <string>

namespace {

void say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

void sendPrepareForSleep(QDBusConnection& bus, bool starting) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    signal << starting;
    bus.send(signal);
    // A round trip: the bus has passed the signal on before "sent" is said.
    bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    say("sent");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: login_stand_in BUS-ADDRESS\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]),
                                                        QStringLiteral("login-stand-in"));
    if (!bus.isConnected() || !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
        std::fprintf(stderr, "login_stand_in: cannot own org.freedesktop.login1\n");
        return 1;
    }
    say("ready");
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string line;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char c = 0;
        if (::read(STDIN_FILENO, &c, 1) != 1) {
            QCoreApplication::quit();
            return;
        }
        if (c != '\n') {
            line += c;
            return;
        }
        if (line == "sleep" || line == "wake") sendPrepareForSleep(bus, line == "sleep");
        line.clear();
    });
    return QCoreApplication::exec();
}
