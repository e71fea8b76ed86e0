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
        : m_link(folder.file(name)), m_transcript(folder.file(name + ".log")) {
        m_process.setProgram(QStringLiteral(OBU_MODEM_PATH));
        m_process.setArguments(QStringList{"--link", m_link, "--transcript", m_transcript} +
                               options);
        m_process.start();
        if (m_process.waitForStarted(10000) && m_process.waitForReadyRead(10000))
            m_pts = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Emulator() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString link() const { return m_link; }
    QString pts() const { return m_pts; }
    qint64 pid() const { return m_process.processId(); }
    QByteArray transcript() const {
        QFile f(m_transcript);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    void signal(int sig) { ::kill(static_cast<pid_t>(pid()), sig); }

private:
    QString m_link;
    QString m_transcript;
    QString m_pts;
    QProcess m_process;
};

// The PPP stage of the AT tests: the port is the emulator's device, and PPP
// reports its stages at once (or never, or fails) without touching the line.
class StagedLink : public ModemLink {
public:
    enum class Ppp { Connects, Hangs, RejectsLogin };
    StagedLink(QByteArray device, Ppp ppp, std::int64_t holder = 0)
        : m_device(std::move(device)), m_ppp(ppp), m_holder(holder) {}
    PortState port(QByteArray& path, DialUpError&, QString&) override {
        path = m_device;
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
        if (m_ppp == Ppp::Hangs) return;
        if (m_ppp == Ppp::RejectsLogin) {
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
        h.pid = m_holder;
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
    QByteArray m_device;
    Ppp m_ppp;
    std::int64_t m_holder;
};

// A process that lives until it is told to end: a lock holder.
class Sleeper {
public:
    Sleeper() {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~Sleeper() { end(); }
    pid_t pid() const { return m_pid; }
    void end() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

}  // namespace obu::test
