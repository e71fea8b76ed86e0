#include "dialup/phonebook/LineService.h"

#include <signal.h>

#include <QPointer>
#include <cstring>

#include "dialup/modem/EmulatorLink.h"
#include "dialup/modem/PppdLink.h"
#include "dialup/modem/Processes.h"
#include "dialup/modem/SerialModem.h"
#include "dialup/modem/SimulatedModem.h"
#include "dialup/modem/UucpLock.h"
#include "dialup/phonebook/ErrorText.h"
#include "dialup/phonebook/RegistryWakeups.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"

namespace obu {

namespace {

CallInfo callInfo(const LineRecord& r) {
    CallInfo info;
    info.id = r.handle;
    info.entry = QString::fromLatin1(r.entry);
    info.deviceType = QString::fromLatin1(r.deviceType);
    info.deviceName = QString::fromLatin1(r.device);
    info.state = r.state;
    info.error = r.error;
    return info;
}

// A device's report written into its call's record: the stage, the error and
// why, the port, and once connected the process that holds the line and when
// the provider hangs up. False when the record needs no change.
bool recordReport(LineRecord& r, const LineDevice& device, int dropAfterSeconds, CallState state,
                  DialUpError error, std::int64_t now) {
    if (r.ended()) return false;  // the provider hung up meanwhile
    const QByteArray port = device.port();
    const QByteArray detail = error ? device.failureDetail().toUtf8() : QByteArray();
    if (r.state == state && r.error == error && r.port == port) return false;
    r.state = state;
    r.error = error;
    if (!port.isEmpty()) r.port = port;
    if (!detail.isEmpty()) r.detail = detail.left(500);
    if (state == CallState::Connected && error == 0) {
        const LineHolder holder = device.holder();
        r.holder = holder.pid;
        r.holderStart = holder.start;
        r.holderKind = holder.kind;
        r.lockFile = holder.lockFile;
        r.connectedAt = now;
        // A line held by a process of its own ends when that process
        // does (the emulator's provider hangs up by itself).
        r.dropAt = r.holder == 0 && dropAfterSeconds > 0 ? now + dropAfterSeconds * 1000ll : 0;
    }
    return true;
}

}  // namespace

LineService::Paths LineService::Paths::fromEnvironment() {
    return Paths{PhoneBook::defaultPath(), ConnectionRegistry::defaultFolder()};
}

QString LineService::Paths::defaultLockDir() {
    return UucpLock::defaultFolder();
}

QByteArray LineService::Paths::defaultModemProgram() {
    return EmulatorLink::defaultProgram();
}

LineService::LineService(Clock& clock, EventLoop& loop, Paths paths)
    : m_clock(clock), m_loop(loop), m_paths(std::move(paths)), m_registry(m_paths.linesDir, clock) {
    m_registry.setOnChange([this] { scheduleLook(); });
}

LineDeviceFactory LineService::simulatedModemFactory() {
    return [this](const PhoneBookEntry&) {
        return std::make_unique<SimulatedModem>(m_loop, m_registry);
    };
}

std::unique_ptr<LineDevice> LineService::makeDevice(const LineRequest& request) {
    if (m_factory) return m_factory(request.entry);
    std::unique_ptr<ModemLink> link;
    if (request.entry.serialDevice())
        link = std::make_unique<PppdLink>(request.entry.device);
    else
        link = std::make_unique<EmulatorLink>(m_paths.modemProgram, request);
    return std::make_unique<SerialModem>(m_loop, m_clock, std::move(link), m_paths.lockDir);
}

bool LineService::settling() {
    reap();
    return !m_finished.empty();
}

LineService::~LineService() {
    m_registry.setOnChange({});
    m_registry.setChangedRecords({});
    if (m_deadlineTimer) m_loop.stopTimer(m_deadlineTimer);
    if (m_retryTimer) m_loop.stopTimer(m_retryTimer);
    // A dial that nobody drives any more must not hold the modem.
    for (auto& [handle, job] : m_jobs) {
        job->device->hangUp();
        m_registry.remove(handle);
    }
}

PhoneBook LineService::phoneBook(const QString& path) const {
    if (path.isEmpty()) return PhoneBook::load(m_paths.phoneBook, true);
    return PhoneBook::load(path, false);
}

void LineService::reap() {
    // A device still hanging up a modem is kept until it is done.
    std::erase_if(m_finished, [](const std::unique_ptr<DialJob>& job) {
        return !job->device || !job->device->busy();
    });
    reapAdopted();
}

void LineService::finish(CallId handle) {
    auto it = m_jobs.find(handle);
    if (it == m_jobs.end()) return;
    it->second->device->hangUp();
    m_finished.push_back(std::move(it->second));
    m_jobs.erase(it);
}

void LineService::notify(CallId handle, CallState state, DialUpError error) {
    QPointer<LineService> self(this);
    m_loop.post([self, handle, state, error] {
        if (!self || !self->m_notifying.count(handle)) return;
        if (error != 0 || state == CallState::Connected || state == CallState::Disconnected)
            self->m_notifying.erase(handle);
        emit self->callStateChanged(handle, state, error);
    });
}

DialUpError LineService::dial(const DialRequest& call, CallId* id) {
    if (!id) return dialup_error::InvalidParameter;
    *id = 0;
    reap();

    const PhoneBook book = phoneBook(call.phoneBook);
    if (book.error) return book.error;
    const PhoneBookEntry* entry = book.find(call.entry.toLatin1());
    if (!entry) return dialup_error::CannotFindEntry;

    LineRequest request;
    request.entry = *entry;
    request.phoneNumber = call.phoneNumber.toLatin1();
    if (request.phoneNumber.isEmpty()) request.phoneNumber = entry->phoneNumber;
    request.callbackNumber = call.callbackNumber.toLatin1();
    request.userName = call.userName.toLatin1();
    request.password = call.password.toLatin1();
    request.domain = call.domain.toLatin1();

    LineRecord record;
    record.entry = entry->name;
    record.phoneNumber = request.phoneNumber;
    record.device = entry->device;
    record.deviceType = entry->deviceType;
    record.userName = request.userName;
    record.state = CallState::OpenPort;
    record.startedAt = m_clock.now().toMSecsSinceEpoch();
    const CallId handle = m_registry.add(record);
    if (!handle) return dialup_error::Unknown;
    *id = handle;
    m_notifying.insert(handle);
    request.handle = handle;
    request.linesDir = m_paths.linesDir;
    request.lockDir = m_paths.lockDir;
    request.recordPath = m_paths.linesDir + QString::asprintf("/conn-%08X", handle);

    auto job = std::make_unique<DialJob>();
    job->handle = handle;
    job->dropAfterSeconds = entry->dropAfterSeconds;
    if (record.error) {
        // Another call holds the modem: the port cannot be opened.
        notify(handle, CallState::OpenPort, record.error);
        return dialup_error::None;
    }
    job->device = makeDevice(request);
    LineDevice* device = job->device.get();
    m_jobs[handle] = std::move(job);
    device->dial(request, [this, handle](CallState state, DialUpError error) {
        onReport(handle, state, error);
    });
    // Wipe the password copy before the request goes out of scope.
    request.password.fill('\0');
    return dialup_error::None;
}

void LineService::onReport(CallId handle, CallState state, DialUpError error) {
    auto it = m_jobs.find(handle);
    if (it == m_jobs.end()) return;
    const DialJob& job = *it->second;
    const std::int64_t now = m_clock.now().toMSecsSinceEpoch();
    LineRecord after;
    const auto change = m_registry.modify(
        handle,
        [&](LineRecord& r) {
            return recordReport(r, *job.device, job.dropAfterSeconds, state, error, now);
        },
        &after);
    if (state == CallState::Connected && error == 0 &&
        (change != ConnectionRegistry::Change::Done || after.ended())) {
        // The line came up just as someone else ended the call: its holder
        // must not carry on with nobody knowing of it.
        const LineHolder holder = job.device->holder();
        if (holder.pid > 0 && processAlive(ProcessId{holder.pid, holder.start}))
            ::kill(static_cast<pid_t>(holder.pid), SIGTERM);
    }
    switch (change) {
        case ConnectionRegistry::Change::Gone:
            // Hung up by another program while we were dialing.
            notify(handle, state, dialup_error::Disconnection);
            finish(handle);
            return;
        case ConnectionRegistry::Change::Unavailable:
            notify(handle, state, dialup_error::Unknown);
            finish(handle);
            return;
        case ConnectionRegistry::Change::Done:
            break;
    }
    if (after.ended() && after.error != error) {
        notify(handle, state, after.error);
        finish(handle);
        return;
    }
    notify(handle, state, error);
    if (error != 0 || state == CallState::Connected || state == CallState::Disconnected)
        finish(handle);
}

DialUpError LineService::hangUp(CallId connection) {
    if (connection == 0) return dialup_error::InvalidCall;
    m_notifying.erase(connection);
    reap();
    const bool local = m_jobs.count(connection) != 0;
    finish(connection);
    LineRecord held;
    const bool heldByPppd = !local && record(connection, &held) && held.established() &&
                            held.holderKind == "pppd" && held.port.startsWith('/') &&
                            ConnectionRegistry::holderAlive(held);
    switch (m_registry.remove(connection)) {
        case ConnectionRegistry::Change::Done:
            if (heldByPppd) {
                // pppd has been told to end; once it has, the modem is put back
                // on the hook from here, as a dialer does after its pppd.
                auto job = std::make_unique<DialJob>();
                auto modem =
                    std::make_unique<SerialModem>(m_loop, m_clock, nullptr, m_paths.lockDir);
                LineHolder holder;
                holder.pid = held.holder;
                holder.start = held.holderStart;
                modem->releaseAfter(held.port, holder);
                job->device = std::move(modem);
                m_finished.push_back(std::move(job));
            }
            return dialup_error::None;
        case ConnectionRegistry::Change::Gone:
            return local ? dialup_error::None : dialup_error::InvalidCall;
        case ConnectionRegistry::Change::Unavailable:
            return dialup_error::Unknown;
    }
    return dialup_error::Unknown;
}

DialUpError LineService::callStatus(CallId id, CallInfo* out) {
    if (!out) return dialup_error::InvalidParameter;
    if (id == 0) return dialup_error::InvalidCall;
    if (!m_registry.refresh()) return dialup_error::Unknown;
    const LineRecord* record = m_registry.find(id);
    if (!record) return dialup_error::InvalidCall;
    *out = callInfo(*record);
    return dialup_error::None;
}

DialUpError LineService::calls(QList<CallInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    out->clear();
    if (!m_finished.empty()) reap();
    if (!m_registry.refresh()) return dialup_error::Unknown;
    // Calls still dialling are listed as well: a caller that watches for its
    // connection to vanish must not take its own dial for a dropped line.
    for (const LineRecord& r : m_registry.records())
        if (!r.ended()) out->append(callInfo(r));
    return dialup_error::None;
}

DialUpError LineService::entries(const QString& path, QList<EntryInfo>* out) {
    if (!out) return dialup_error::InvalidParameter;
    out->clear();
    const PhoneBook book = phoneBook(path);
    if (book.error) return book.error;
    out->reserve(static_cast<qsizetype>(book.entries.size()));
    for (const PhoneBookEntry& entry : book.entries)
        out->append(EntryInfo{QString::fromLatin1(entry.name), QStringLiteral("phone book")});
    return dialup_error::None;
}

QString LineService::failureDetail(CallId connection) {
    LineRecord r;
    if (!record(connection, &r)) return {};
    return QString::fromUtf8(r.detail);
}

void LineService::forget(CallId connection) {
    LineRecord r;
    if (record(connection, &r) && r.ended()) hangUp(connection);
}

QString LineService::errorText(DialUpError code) const {
    const char* text = dialUpErrorText(code);
    return text ? QString::fromLatin1(text) : QString();
}

std::vector<LineRecord> LineService::lines() {
    reap();
    std::vector<LineRecord> result;
    if (!m_registry.refresh()) return result;
    for (const LineRecord& r : m_registry.records())
        if (!r.ended()) result.push_back(r);
    return result;
}

bool LineService::record(CallId connection, LineRecord* out) {
    if (!m_registry.refresh()) return false;
    const LineRecord* r = m_registry.find(connection);
    if (!r) return false;
    if (out) *out = *r;
    return true;
}

DialUpError LineService::dropLine(CallId connection) {
    switch (m_registry.endByProvider(connection)) {
        case ConnectionRegistry::Change::Done:
            return dialup_error::None;
        case ConnectionRegistry::Change::Gone:
            return dialup_error::InvalidCall;
        case ConnectionRegistry::Change::Unavailable:
            return dialup_error::Unknown;
    }
    return dialup_error::Unknown;
}

}  // namespace obu
