#pragma once
// Helpers of the serial tests: a Qt event loop run until a condition holds,
// our modem emulator started as a program of its own, and a PPP stage double
// for the tests of the AT dialogue.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>

#include "dialup/modem/ModemLink.h"
#include "dialup/modem/Processes.h"
#include "platform/QtEventLoop.h"
#include "platform/SystemClock.h"
#include "tests/support/TempFolder.h"

namespace obu::test {

inline QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "serial_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until the condition holds; false when ms ran out.
inline bool runUntil(const std::function<bool()>& condition, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline bool waitFor(const std::function<bool()>& condition, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QThread::msleep(10);
    }
    return true;
}

// obu-modem by itself on a pseudo-terminal, with a link to its device and a
// transcript of the commands it received.
class Emulator {
public:
    Emulator(const TempFolder& folder, const QStringList& options, const QString& name = "modem")
        : link_(folder.file(name)), transcript_(folder.file(name + ".log")) {
        process_.setProgram(QStringLiteral(OBU_MODEM_PATH));
        process_.setArguments(QStringList{"--link", link_, "--transcript", transcript_} + options);
        process_.start();
        if (process_.waitForStarted(10000) && process_.waitForReadyRead(10000))
            pts_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~Emulator() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) process_.kill();
            process_.waitForFinished(5000);
        }
    }
    QString link() const { return link_; }
    QString pts() const { return pts_; }
    qint64 pid() const { return process_.processId(); }
    QByteArray transcript() const {
        QFile f(transcript_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool running() const { return process_.state() == QProcess::Running; }
    void signal(int sig) { ::kill(static_cast<pid_t>(pid()), sig); }

private:
    QString link_;
    QString transcript_;
    QString pts_;
    QProcess process_;
};

// The PPP stage of the AT tests: the port is the emulator's device, and PPP
// reports its stages at once (or never, or fails) without touching the line.
class StagedLink : public ModemLink {
public:
    enum class Ppp { Connects, Hangs, RejectsLogin };
    StagedLink(QByteArray device, Ppp ppp, std::int64_t holder = 0)
        : device_(std::move(device)), ppp_(ppp), holder_(holder) {}
    PortState port(QByteArray& path, DialUpError&, QString&) override {
        path = device_;
        return PortState::Ready;
    }
    bool startPpp(SerialPort&, UucpLock&, const LineRequest& request, DialUpError&,
                  QString&) override {
        started = true;
        passwordSeen = request.password;
        return true;
    }
    void pollPpp(std::vector<Event>& events, QString& detail) override {
        if (!started || reported) return;
        reported = true;
        events.push_back({CallState::Authenticate, 0});
        if (ppp_ == Ppp::Hangs) return;
        if (ppp_ == Ppp::RejectsLogin) {
            events.push_back({CallState::Authenticate, dialup_error::AuthenticationFailure});
            detail = "refused";
            return;
        }
        events.push_back({CallState::Authenticated, 0});
        events.push_back({CallState::Projected, 0});
        events.push_back({CallState::Connected, 0});
    }
    LineHolder holder() const override {
        LineHolder h;
        h.pid = holder_;
        h.kind = "test";
        return h;
    }
    void abandon() override { abandoned = true; }
    void release() override { released = true; }

    bool started = false;
    bool reported = false;
    bool abandoned = false;
    bool released = false;
    QByteArray passwordSeen;

private:
    QByteArray device_;
    Ppp ppp_;
    std::int64_t holder_;
};

// A process that lives until it is told to end: a lock holder.
class Sleeper {
public:
    Sleeper() {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~Sleeper() { end(); }
    pid_t pid() const { return pid_; }
    void end() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace obu::test
