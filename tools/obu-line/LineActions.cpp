// obu-line hangup and drop: ending the connections of an entry, or all.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <functional>

#include "tools/obu-line/Commands.h"

namespace obu::line {

namespace {

struct Tally {
    int matched = 0;
    int failed = 0;
    int status = kOk;  // the first failure's
    void fail(int code) {
        ++failed;
        if (status == kOk) status = code;
    }
};

// NetworkManager's connections are always hung up (every other program takes
// that for a drop); waits until NetworkManager has taken them down.
void endNetworkManagerLines(Services& s, const QString& which, const char* verb, Tally& tally) {
    const bool all = which == QLatin1String("all");
    QSet<CallId> goingDown;
    QObject::connect(&s.networkManager, &DialUpService::callEnded, qApp,
                     [&](CallId id, DialUpError) { goingDown.remove(id); });
    for (const CallInfo& c : networkManagerCalls(s)) {
        if (!all && c.entry.compare(which, Qt::CaseInsensitive) != 0) continue;
        ++tally.matched;
        const DialUpError result = s.networkManager.hangUp(c.id);
        if (result == dialup_error::None) goingDown.insert(c.id);
        if (result == dialup_error::None || result == dialup_error::InvalidCall) {
            out() << verb << ' ' << shown(c.entry) << " (" << handleText(c.id) << ")." << Qt::endl;
        } else {
            tally.fail(exitFor(result));
            err() << "obu-line: " << shown(c.entry) << ": " << shown(codeText(result, &s.all))
                  << Qt::endl;
        }
    }
    QElapsedTimer waited;
    waited.start();
    while (!goingDown.isEmpty() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (const CallId id : goingDown) {
        tally.fail(kFailed);
        err() << "obu-line: NetworkManager has not taken " << handleText(id) << " down yet"
              << Qt::endl;
    }
}

// Acts on the connections of one entry, or all of them. Nothing up at all is
// the same answer whichever was asked for: there is nothing to end, and a
// script that makes sure the line is down has what it wants.
int forEachLine(Services& s, const QString& which, const char* verb, const char* networkVerb,
                const std::function<DialUpError(CallId)>& act) {
    LineService& service = s.lines;
    const bool all = which == QLatin1String("all");
    Tally tally;
    endNetworkManagerLines(s, which, networkVerb, tally);
    const std::vector<LineRecord> lines = service.lines();
    // Records that cannot be read are no proof that nothing is connected,
    // whatever NetworkManager's lines did.
    if (lines.empty() && !service.problem().isEmpty()) {
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
        return recordsExit(service);
    }
    for (const LineRecord& r : lines) {
        if (!all && !sameEntry(r.entry, which)) continue;
        ++tally.matched;
        const DialUpError result = act(r.handle);
        if (result == dialup_error::None || result == dialup_error::InvalidCall) {
            // Invalid by now: it ended between the listing and this call.
            out() << verb << ' ' << shown(r.entry) << " (" << handleText(r.handle) << ")."
                  << Qt::endl;
        } else {
            tally.fail(exitFor(result));
            err() << "obu-line: " << shown(r.entry) << ": " << codeText(result) << Qt::endl;
            problemNote(service, result);
        }
    }
    if (tally.matched > 0) return tally.status;
    if (all || (lines.empty() && networkManagerCalls(s).isEmpty())) {
        out() << "No connections." << Qt::endl;
        return kOk;
    }
    err() << "obu-line: there is no connection to \"" << shown(which) << "\"" << Qt::endl;
    return kNoSuch;
}

}  // namespace

int hangUp(Services& s, const Request& request) {
    LineService& service = s.lines;
    const int result = forEachLine(s, request.words.value(0), "Hung up", "Hung up",
                                   [&](CallId h) { return service.hangUp(h); });
    // A line that pppd held: once pppd has gone, the modem is put back on the
    // hook from here.
    QElapsedTimer settle;
    settle.start();
    while (service.settling() && settle.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return result;
}

int drop(Services& s, const Request& request) {
    LineService& service = s.lines;
    return forEachLine(s, request.words.value(0), "The provider hung up", "Took down",
                       [&](CallId h) { return service.dropLine(h); });
}

}  // namespace obu::line
