// obu-line dial: each stage as it comes, the result, and Ctrl-C hanging up.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <csignal>

#include "tools/obu-line/Commands.h"

namespace obu::line {

namespace {

// Ctrl-C or a termination request during a dial hangs the dial up, so that the
// modem is free at once rather than when another program notices.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    (void)!::write(signalPipe[1], &c, 1);
}

// Calls cancel once for the first signal. The bytes are read as they come:
// left in the socket they would wake the loop again on every turn, for as long
// as the modem takes to go back on the hook.
void watchSignals(const std::function<void()>& cancel) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [cancel] {
        static bool seen = false;
        char bytes[64];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (seen) return;
        seen = true;
        cancel();
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

struct DialRun {
    Services& s;
    QString entry;
    CallId handle = 0;
    int exitCode = kFailed;
    bool finished = false;

    void stop(int code) {
        if (finished) return;
        finished = true;
        exitCode = code;
        QCoreApplication::exit(code);
    }

    void onState(CallId call, CallState state, DialUpError error) {
        if (call != handle || finished) return;
        DialUpService& service = s.all;
        if (error != 0) {
            err() << "obu-line: dialing \"" << shown(entry) << "\" failed at \"" << stageName(state)
                  << "\": " << shown(codeText(error, &service)) << Qt::endl;
            const QString detail = service.failureDetail(handle);
            if (!detail.isEmpty()) err() << "obu-line: " << shown(detail) << Qt::endl;
            service.hangUp(handle);
            stop(exitFor(error));
            return;
        }
        out() << "  " << stageName(state);
        LineRecord record;
        if (state == CallState::PortOpened && s.lines.record(handle, &record) &&
            !record.port.isEmpty())
            out() << " (" << shown(QString::fromLocal8Bit(record.port)) << ")";
        out() << Qt::endl;
        if (state == CallState::Connected) {
            out() << "Connected to " << shown(entry) << " (handle " << handleText(handle) << ")."
                  << Qt::endl;
            stop(kOk);
        }
    }
};

}  // namespace

int dial(Services& s, const Request& request) {
    DialUpService& service = s.all;
    const QStringList& args = request.words;
    DialRequest dialRequest;
    dialRequest.entry = args.value(0);
    dialRequest.userName = args.value(1);
    dialRequest.password = args.value(2);
    dialRequest.phoneBook = request.phoneBook;

    DialRun run{s, dialRequest.entry};
    QObject::connect(&service, &DialUpService::callStateChanged, qApp,
                     [&run](CallId call, CallState state, DialUpError error) {
                         run.onState(call, state, error);
                     });
    watchSignals([&] {
        if (run.finished) return;
        err() << "obu-line: dial cancelled; hanging up" << Qt::endl;
        service.hangUp(run.handle);
        run.stop(kFailed);
    });
    out() << "Dialing " << shown(run.entry) << "..." << Qt::endl;
    const DialUpError result = service.dial(dialRequest, &run.handle);
    dialRequest.password.fill(QLatin1Char('\0'));
    if (result != dialup_error::None) {
        err() << "obu-line: cannot dial \"" << shown(run.entry)
              << "\": " << shown(codeText(result, &service)) << Qt::endl;
        problemNote(s.lines, result, request.phoneBook);
        return exitFor(result,
                       request.phoneBook.isEmpty() ? s.lines.paths().phoneBook : request.phoneBook);
    }
    const QStringList given = args.mid(1, request.wordsGiven - 1);
    if (fromNetworkManager(run.handle) && !given.join(QString()).isEmpty())
        err() << "obu-line: NetworkManager logs in with the profile's own secrets; the user "
                 "name and password given are not used"
              << Qt::endl;

    QCoreApplication::exec();
    // A failed call leaves a modem to put back on the hook ("+++", ATH0, DTR):
    // let that finish before the program ends, within reason.
    QElapsedTimer settle;
    settle.start();
    while (s.lines.settling() && settle.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return run.exitCode;
}

}  // namespace obu::line
