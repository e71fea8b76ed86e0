#pragma once
#include <QString>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "dialup/DialUpService.h"
#include "dialup/modem/LineDevice.h"
#include "dialup/phonebook/ConnectionRegistry.h"
#include "dialup/phonebook/PhoneBook.h"

namespace obu {

class Clock;
class EventLoop;
class RegistryWakeups;

// The dial-up service on Linux. Dials phone-book entries through a device
// (the simulated modem unless a factory says otherwise), drives each dial's
// stages with timers of the given loop, announces every stage of its own
// dials as callStateChanged (through the loop), and keeps every call in the
// registry folder shared by all the user's processes.
//
// Once something listens to callsChanged or callEnded, the service tells it
// of every change of a call: its own at once, through the loop, and other
// processes' when the registry folder or a process behind a call wakes it (on
// the Qt event loop), or when a provider's deadline falls due.
//
// calls() lists the calls that have not ended: dials in progress and
// established connections, oldest first.
// After a failure, or after the provider hung up, the call stays known and
// reports the error until it is hung up or its dialing process ends.
//
// All calls belong to the thread of the loop.
class LineService : public DialUpService {
public:
    struct Paths {
        QString phoneBook;  // the default phone book
        QString linesDir;   // the registry folder
        // The UUCP lock folder of serial devices, and the modem emulator that
        // serves the entries that name no serial device.
        QString lockDir = defaultLockDir();
        QByteArray modemProgram = defaultModemProgram();
        static Paths fromEnvironment();
        static QString defaultLockDir();
        static QByteArray defaultModemProgram();
    };

    LineService(Clock& clock, EventLoop& loop, Paths paths = Paths::fromEnvironment());
    // Releases the dials still in progress; connections stay up.
    ~LineService() override;

    DialUpError entries(const QString& phoneBook, QList<EntryInfo>* out) override;
    // The call as an object, beside the number alone.
    using DialUpService::dial;
    DialUpError dial(const DialRequest& request, CallId* id) override;
    DialUpError hangUp(CallId id) override;
    DialUpError calls(QList<CallInfo>* out) override;
    DialUpError callStatus(CallId id, CallInfo* out) override;
    QString errorText(DialUpError code) const override;
    QString failureDetail(CallId id) override;
    void forget(CallId id) override;

    // Calls in progress and connections up, oldest first (no ended calls).
    std::vector<LineRecord> lines();
    // The registry's record of a call, ended ones too (false: no such call).
    bool record(CallId connection, LineRecord* out);
    // The provider hangs up a connection or a dial in progress (629).
    DialUpError dropLine(CallId id);
    // The phone book that dial() and entries() read for this path
    // (empty: the default one).
    PhoneBook phoneBook(const QString& path = {}) const;

    const Paths& paths() const { return m_paths; }
    // What went wrong with the registry folder when a call returned 635.
    QString problem() const { return m_registry.problem(); }
    // Devices for the entries. By default an entry whose Device= names a serial
    // device dials a real modem with AT commands and pppd, and any other entry
    // dials the modem emulator on a pseudo-terminal through the same driver.
    void setDeviceFactory(LineDeviceFactory factory) { m_factory = std::move(factory); }
    // The modem that exists only inside this process, on the loop's timers:
    // for tests that run on virtual time.
    LineDeviceFactory simulatedModemFactory();
    // True while a device still puts a modem back on the hook after a call.
    bool settling();

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    struct DialJob {
        CallId handle = 0;
        int dropAfterSeconds = 0;
        std::unique_ptr<LineDevice> device;
    };
    void onReport(CallId handle, CallState state, DialUpError error);
    // Announces a stage of one of this process's dials through the loop,
    // unless the call has been hung up by then.
    void notify(CallId handle, CallState state, DialUpError error);
    // Stops a job's device; the job is destroyed at the next call from outside
    // (a device may be reporting from inside its own stack right now).
    void finish(CallId handle);
    void reap();
    std::unique_ptr<LineDevice> makeDevice(const LineRequest& request);
    // Runs lookAgain() once through the loop, however often it is asked.
    void scheduleLook();
    // Re-reads the registry, watches what the calls now depend on, and
    // announces a change that the listeners have not heard of yet.
    void lookAgain();
    void watchWhatCallsDependOn();
    // The calls of the registry as last read that have not ended, by handle.
    std::vector<CallId> openCalls() const;

    Clock& m_clock;
    EventLoop& m_loop;
    Paths m_paths;
    ConnectionRegistry m_registry;
    LineDeviceFactory m_factory;
    std::map<CallId, std::unique_ptr<DialJob>> m_jobs;
    std::vector<std::unique_ptr<DialJob>> m_finished;
    std::unique_ptr<RegistryWakeups> m_wakeups;
    // This process's dials whose stages still go out (until the last one, or
    // until they are hung up).
    std::set<CallId> m_notifying;
    // The calls not ended at the last announcement (by handle), for callEnded.
    std::vector<CallId> m_announcedCalls;
    bool m_listening = false;
    bool m_lookScheduled = false;
    std::uint64_t m_announcedGeneration = 0;
    std::uint64_t m_watchedGeneration = 0;
    // The loop's timer for the earliest provider deadline, and that deadline.
    std::uint64_t m_deadlineTimer = 0;
    std::int64_t m_deadlineAt = 0;
    // Looks again after a look that could not read the registry.
    std::uint64_t m_retryTimer = 0;
};

}  // namespace obu
