#pragma once
// Helpers shared by the dial-up tests: a phone book with short delays, a
// recorder of a call's stages, dial requests, and a modem that follows a script.
#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "dialup/modem/LineDevice.h"
#include "dialup/phonebook/ErrorText.h"
#include "dialup/phonebook/LineService.h"
#include "platform/EventLoop.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

namespace obu::test {

// Entries that connect in 600 ms of (virtual) time, one per way a call ends.
inline QByteArray fastPhoneBook() {
    const QByteArray quick = "PortDelay=100\nDialDelay=200\nAuthDelay=200\nProjectDelay=100\n";
    return "[Fast]\nPhoneNumber=555-0199\n" + quick + "[Fast Busy]\nFail=busy\n" + quick +
           "[Fast Twice Busy]\nBusyCount=2\nPhoneNumber=555-0198\n" + quick +
           "[Fast No Dial Tone]\nFail=no-dial-tone\n" + quick +
           "[Fast No Answer]\nFail=no-answer\n" + quick + "[Fast No Carrier]\nFail=no-carrier\n" +
           quick + "[Fast Modem Error]\nFail=modem-error\n" + quick +
           "[Fast Bad Password]\nFail=login\n" + quick + "[Fast Line Drop]\nFail=line-drop\n" +
           quick + "[Fast PPP Timeout]\nFail=ppp-timeout\n" + quick + "[Fast Drop]\nDropAfter=5\n" +
           quick + "[Fast Account]\nAcceptUser=alice\nAcceptPassword=s3cret\n" + quick +
           "[Other Modem]\nDevice=Second Modem\nDeviceType=isdn\n" + quick +
           "[Slow]\nDialDelay=60000\n";
}

struct Notification {
    CallState state;
    DialUpError error;
};

// Records the stages that a service announces for one call.
class Recorder {
public:
    Recorder() = default;
    ~Recorder() { QObject::disconnect(m_connection); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void follow(DialUpService& service, CallId call) {
        QObject::disconnect(m_connection);
        m_call = call;
        m_connection = QObject::connect(&service, &DialUpService::callStateChanged,
                                        [this](CallId id, CallState state, DialUpError error) {
                                            if (id == m_call) got.push_back({state, error});
                                        });
    }
    bool ended() const {
        return !got.empty() && (got.back().error != 0 || got.back().state == CallState::Connected);
    }
    std::vector<CallState> states() const {
        std::vector<CallState> s;
        for (const auto& n : got) s.push_back(n.state);
        return s;
    }
    std::vector<Notification> got;

private:
    QMetaObject::Connection m_connection;
    CallId m_call = 0;
};

inline DialRequest dialRequest(const QByteArray& entry, const QByteArray& user = {},
                               const QByteArray& password = {}) {
    DialRequest request;
    request.entry = QString::fromLatin1(entry);
    request.userName = QString::fromLatin1(user);
    request.password = QString::fromLatin1(password);
    return request;
}

// Dials and has the recorder follow the call (when there is one).
inline DialUpError dialFollowed(DialUpService& service, const DialRequest& request,
                                Recorder& recorder, CallId* call) {
    const DialUpError result = service.dial(request, call);
    if (*call) recorder.follow(service, *call);
    return result;
}

// The calls that have not ended, as the service lists them.
inline std::vector<CallInfo> enumerate(DialUpService& service, DialUpError* result = nullptr) {
    QList<CallInfo> calls;
    const DialUpError r = service.calls(&calls);
    if (result) *result = r;
    return {calls.begin(), calls.end()};
}

inline CallInfo status(DialUpService& service, CallId call, DialUpError* result) {
    CallInfo info;
    *result = service.callStatus(call, &info);
    return info;
}

// A device that reports a fixed list of stages at given times: for stage
// sequences that no modem of the phone book produces.
class ScriptedModem : public LineDevice {
public:
    struct Step {
        int delayMs;
        CallState state;
        DialUpError error;
    };
    ScriptedModem(EventLoop& loop, std::vector<Step> steps)
        : m_loop(loop), m_steps(std::move(steps)) {}
    ~ScriptedModem() override { hangUp(); }
    void dial(const LineRequest&, Report report) override {
        m_report = std::move(report);
        next();
    }
    void hangUp() override {
        if (m_timer) m_loop.stopTimer(m_timer);
        m_timer = 0;
        m_next = m_steps.size();
    }

private:
    void next() {
        if (m_next >= m_steps.size()) return;
        m_timer = m_loop.startTimer(m_steps[m_next].delayMs, [this] {
            m_loop.stopTimer(m_timer);
            m_timer = 0;
            const Step step = m_steps[m_next++];
            const Report report = m_report;
            report(step.state, step.error);
            next();
        });
    }
    EventLoop& m_loop;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    Report m_report;
    EventLoop::TimerId m_timer = 0;
};

// A folder with a phone book and a registry, and services on them driven by
// virtual time.
struct ServiceBench {
    TempFolder folder;
    VirtualTime time;
    ServiceBench() { folder.write("phonebook.pbk", fastPhoneBook()); }
    LineService::Paths paths() const {
        return {folder.file("phonebook.pbk"), folder.file("lines")};
    }
    // The modem inside the process, on virtual time.
    std::unique_ptr<LineService> service() {
        auto s = std::make_unique<LineService>(time, time, paths());
        s->setDeviceFactory(s->simulatedModemFactory());
        return s;
    }
};

}  // namespace obu::test
