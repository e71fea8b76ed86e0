#include "tests/bench/startup/XServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <set>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace obu::bench {

XServer::XServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("Xvfb"),
                    const_cast<char*>("-displayfd"),
                    const_cast<char*>("3"),
                    const_cast<char*>("-screen"),
                    const_cast<char*>("0"),
                    const_cast<char*>("1024x768x24"),
                    const_cast<char*>("-nolisten"),
                    const_cast<char*>("tcp"),
                    nullptr};
    const int rc = ::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        m_pid = -1;
        ::close(fds[0]);
        return;
    }
    QByteArray number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number.append(c);
    ::close(fds[0]);
    if (number.isEmpty()) return;
    m_name = QStringLiteral(":") + QString::fromLatin1(number);
    QElapsedTimer clock;
    clock.start();
    while (!m_display && clock.elapsed() < 30000) {
        m_display = XOpenDisplay(m_name.toLatin1().constData());
        if (!m_display) QThread::msleep(20);
    }
}

XServer::~XServer() {
    if (m_display) XCloseDisplay(m_display);
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool XServer::showsPicture(int width, int height) const {
    Display* d = m_display;
    Window root = DefaultRootWindow(d), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable ||
            a.width != width || a.height != height)
            continue;
        XImage* strip = XGetImage(d, children[i], 0, height / 2, static_cast<unsigned>(width), 2,
                                  AllPlanes, ZPixmap);
        if (!strip) continue;
        std::set<unsigned long> colours;
        for (int x = 0; x < width; x += 3) colours.insert(XGetPixel(strip, x, 0));
        XDestroyImage(strip);
        found = colours.size() >= 12;
    }
    if (children) XFree(children);
    return found;
}

double processorSeconds(pid_t pid) {
    double total = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (!schedstat.open(QIODevice::ReadOnly)) continue;
        // Nanoseconds on a processor come first.
        total += schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

}  // namespace obu::bench
