#pragma once
// Helpers shared by the dial-up tests: a phone book with short delays, a
// notification recorder, dial records, and a modem that follows a script.
#include <QByteArray>
#include <QString>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/EventLoop.h"
#include "ras/LineDevice.h"
#include "ras/LineService.h"
#include "ras/NotifyTargets.h"
#include "ras/RasApi.h"
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
    std::uint32_t message;
    DWORD state;
    DWORD error;
};

// A notification target that records what reaches it.
class Recorder {
public:
    Recorder()
        : target_(NotifyTargets::create([this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
              got.push_back({m, static_cast<DWORD>(w), static_cast<DWORD>(l)});
              return std::intptr_t{0};
          })) {}
    ~Recorder() { NotifyTargets::destroy(target_); }
    NotifyTarget target() const { return target_; }
    bool ended() const {
        return !got.empty() && (got.back().error != 0 || got.back().state == RASCS_Connected);
    }
    std::vector<DWORD> states() const {
        std::vector<DWORD> s;
        for (const auto& n : got) s.push_back(n.state);
        return s;
    }
    std::vector<Notification> got;

private:
    NotifyTarget target_;
};

inline RASDIALPARAMSA dialParams(const QByteArray& entry, const QByteArray& user = {},
                                 const QByteArray& password = {}) {
    RASDIALPARAMSA p;
    std::memset(&p, 0, sizeof p);
    p.dwSize = sizeof p;
    std::memcpy(p.szEntryName, entry.constData(),
                std::min<qsizetype>(entry.size(), RAS_MaxEntryName));
    std::memcpy(p.szUserName, user.constData(), std::min<qsizetype>(user.size(), UNLEN));
    std::memcpy(p.szPassword, password.constData(), std::min<qsizetype>(password.size(), PWLEN));
    return p;
}

// The calls that have not ended, as RasEnumConnectionsA lists them.
inline std::vector<RASCONNA> enumerate(RasApi& ras, DWORD* result = nullptr) {
    std::vector<RASCONNA> buffer(100);
    buffer[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(RASCONNA));
    DWORD count = 0;
    const DWORD r = ras.RasEnumConnectionsA(buffer.data(), &bytes, &count);
    if (result) *result = r;
    buffer.resize(r == ERROR_SUCCESS ? count : 0);
    return buffer;
}

inline RASCONNSTATUSA status(RasApi& ras, HRASCONN h, DWORD* result) {
    RASCONNSTATUSA s;
    std::memset(&s, 0, sizeof s);
    s.dwSize = sizeof s;
    *result = ras.RasGetConnectStatusA(h, &s);
    return s;
}

// A device that reports a fixed list of stages at given times: for stage
// sequences that no modem of the phone book produces.
class ScriptedModem : public LineDevice {
public:
    struct Step {
        int delayMs;
        DWORD state;
        DWORD error;
    };
    ScriptedModem(EventLoop& loop, std::vector<Step> steps)
        : loop_(loop), steps_(std::move(steps)) {}
    ~ScriptedModem() override { hangUp(); }
    void dial(const DialRequest&, Report report) override {
        report_ = std::move(report);
        next();
    }
    void hangUp() override {
        if (timer_) loop_.stopTimer(timer_);
        timer_ = 0;
        next_ = steps_.size();
    }

private:
    void next() {
        if (next_ >= steps_.size()) return;
        timer_ = loop_.startTimer(steps_[next_].delayMs, [this] {
            loop_.stopTimer(timer_);
            timer_ = 0;
            const Step step = steps_[next_++];
            const Report report = report_;
            report(step.state, step.error);
            next();
        });
    }
    EventLoop& loop_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    Report report_;
    EventLoop::TimerId timer_ = 0;
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
