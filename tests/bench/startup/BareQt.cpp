// The yardstick of the start-up benchmark: a bare Qt Widgets program that
// shows one 600 x 216 window with a picture and ends its loop on SIGTERM,
// as any well-behaved Qt program would.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSocketNotifier>

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
    QApplication app(argc, argv);
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    std::signal(SIGTERM, onTerm);

    QLabel window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(600, 216);
    if (argc > 1) window.setPixmap(QPixmap(QString::fromLocal8Bit(argv[1])));
    window.show();
    return app.exec();
}
