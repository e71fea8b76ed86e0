#include "ras/LineService.h"

#include <signal.h>

#include <QCoreApplication>
#include <QFile>
#include <QMetaMethod>
#include <QPointer>
#include <cstring>

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "ras/EmulatorLink.h"
#include "ras/PppdLink.h"
#include "ras/Processes.h"
#include "ras/RegistryWakeups.h"
#include "ras/SerialModem.h"
#include "ras/SimulatedModem.h"
#include "ras/UucpLock.h"

namespace obu {

namespace {

// A record field as single-byte text, up to its zero or its size.
QByteArray field(const char* text, std::size_t size) {
    return QByteArray(text, static_cast<qsizetype>(strnlen(text, size)));
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
    : clock_(clock), loop_(loop), paths_(std::move(paths)), registry_(paths_.linesDir, clock) {
    registry_.setOnChange([this] { scheduleLook(); });
}

void LineService::connectNotify(const QMetaMethod& signal) {
    if (listening_ || signal != QMetaMethod::fromSignal(&RasApi::callsChanged)) return;
    listening_ = true;
    // What is there now is no news to the new listener, which looks for itself.
    registry_.refresh();
    announcedGeneration_ = registry_.generation();
    watchWhatCallsDependOn();
}

void LineService::scheduleLook() {
    if (!listening_ || lookScheduled_) return;
    lookScheduled_ = true;
    QPointer<LineService> self(this);
    loop_.post([self] {
        if (self) self->lookAgain();
    });
}

void LineService::lookAgain() {
    // Cleared first: a listener that changes a call again is heard too.
    lookScheduled_ = false;
    registry_.refresh();
    watchWhatCallsDependOn();
    const std::uint64_t generation = registry_.generation();
    if (generation == announcedGeneration_) return;
    announcedGeneration_ = generation;
    emit callsChanged();
}

void LineService::watchWhatCallsDependOn() {
    // Other processes' changes arrive through the Qt event loop; a program
    // without one (a command-line tool) never listens.
    if (!wakeups_ && QCoreApplication::instance()) {
        wakeups_ = std::make_unique<RegistryWakeups>();
        QObject::connect(wakeups_.get(), &RegistryWakeups::woken, this, [this] {
            registry_.recheckHolders();
            scheduleLook();
        });
    }
    const std::uint64_t generation = registry_.generation();
    if (wakeups_) {
        if (!wakeups_->watchingFolder())
            wakeups_->watchFolder(QFile::encodeName(registry_.folder()));
        if (generation != watchedGeneration_)
            wakeups_->watchProcesses(registry_.processesToWatch());
    }
    watchedGeneration_ = generation;
    // A provider that hangs up by a deadline of its own tells no one: the
    // service looks when the deadline falls due.
    const std::int64_t dropAt = registry_.nextDropAt();
    if (dropAt == deadlineAt_) return;
    if (deadlineTimer_) loop_.stopTimer(deadlineTimer_);
    deadlineTimer_ = 0;
    deadlineAt_ = dropAt;
    if (dropAt == 0) return;
    const std::int64_t wait = std::max<std::int64_t>(0, dropAt - clock_.now().toMSecsSinceEpoch());
    deadlineTimer_ =
        loop_.startTimer(static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)), [this] {
            loop_.stopTimer(deadlineTimer_);
            deadlineTimer_ = 0;
            deadlineAt_ = 0;
            scheduleLook();
        });
}

LineDeviceFactory LineService::simulatedModemFactory() {
    return [this](const PhoneBookEntry&) {
        return std::make_unique<SimulatedModem>(loop_, registry_);
    };
}

std::unique_ptr<LineDevice> LineService::makeDevice(const DialRequest& request) {
    if (factory_) return factory_(request.entry);
    std::unique_ptr<ModemLink> link;
    if (request.entry.serialDevice())
        link = std::make_unique<PppdLink>(request.entry.device);
    else
        link = std::make_unique<EmulatorLink>(paths_.modemProgram, request);
    return std::make_unique<SerialModem>(loop_, clock_, std::move(link), paths_.lockDir);
}

bool LineService::settling() {
    reap();
    return !finished_.empty();
}

LineService::~LineService() {
    registry_.setOnChange({});
    if (deadlineTimer_) loop_.stopTimer(deadlineTimer_);
    // A dial that nobody drives any more must not hold the modem.
    for (auto& [handle, job] : jobs_) {
        job->device->hangUp();
        registry_.remove(handle);
    }
}

PhoneBook LineService::phoneBook(const QString& path) const {
    if (path.isEmpty()) return PhoneBook::load(paths_.phoneBook, true);
    return PhoneBook::load(path, false);
}

void LineService::reap() {
    // A device still hanging up a modem is kept until it is done.
    std::erase_if(finished_, [](const std::unique_ptr<DialJob>& job) {
        return !job->device || !job->device->busy();
    });
    reapAdopted();
}

void LineService::finish(HRASCONN handle) {
    auto it = jobs_.find(handle);
    if (it == jobs_.end()) return;
    it->second->device->hangUp();
    finished_.push_back(std::move(it->second));
    jobs_.erase(it);
}

void LineService::notify(const DialJob& job, DWORD state, DWORD error) {
    NotifyTargets::post(loop_, job.target, kRasDialEventMessage, state,
                        static_cast<std::intptr_t>(error));
}

DWORD LineService::RasDialA(const void* dialExtensions, const char* phoneBookPath,
                            const RASDIALPARAMSA* params, DWORD notifierType, NotifyTarget notifier,
                            HRASCONN* connection) {
    if (!params || !connection) return ERROR_INVALID_PARAMETER;
    *connection = 0;
    if (dialExtensions || notifierType != kNotifierWindow) return ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
    reap();

    const QString path =
        phoneBookPath && *phoneBookPath ? QFile::decodeName(phoneBookPath) : QString();
    const PhoneBook book = phoneBook(path);
    if (book.error) return book.error;
    const PhoneBookEntry* entry = book.find(field(params->szEntryName, sizeof params->szEntryName));
    if (!entry) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;

    DialRequest request;
    request.entry = *entry;
    request.phoneNumber = field(params->szPhoneNumber, sizeof params->szPhoneNumber);
    if (request.phoneNumber.isEmpty()) request.phoneNumber = entry->phoneNumber;
    request.callbackNumber = field(params->szCallbackNumber, sizeof params->szCallbackNumber);
    request.userName = field(params->szUserName, sizeof params->szUserName);
    request.password = field(params->szPassword, sizeof params->szPassword);
    request.domain = field(params->szDomain, sizeof params->szDomain);

    LineRecord record;
    record.entry = entry->name;
    record.phoneNumber = request.phoneNumber;
    record.device = entry->device;
    record.deviceType = entry->deviceType;
    record.userName = request.userName;
    record.state = RASCS_OpenPort;
    record.startedAt = clock_.now().toMSecsSinceEpoch();
    const HRASCONN handle = registry_.add(record);
    if (!handle) return ERROR_UNKNOWN;
    *connection = handle;
    request.handle = handle;
    request.linesDir = paths_.linesDir;
    request.lockDir = paths_.lockDir;
    request.recordPath = paths_.linesDir + QString::asprintf("/conn-%08X", handle);

    auto job = std::make_unique<DialJob>();
    job->handle = handle;
    job->target = notifier;
    job->dropAfterSeconds = entry->dropAfterSeconds;
    if (record.error) {
        // Another call holds the modem: the port cannot be opened.
        notify(*job, RASCS_OpenPort, record.error);
        return ERROR_SUCCESS;
    }
    job->device = makeDevice(request);
    LineDevice* device = job->device.get();
    jobs_[handle] = std::move(job);
    device->dial(request,
                 [this, handle](DWORD state, DWORD error) { onReport(handle, state, error); });
    // Wipe the password copy before the request goes out of scope.
    request.password.fill('\0');
    return ERROR_SUCCESS;
}

void LineService::onReport(HRASCONN handle, DWORD state, DWORD error) {
    auto it = jobs_.find(handle);
    if (it == jobs_.end()) return;
    DialJob& job = *it->second;
    LineDevice* device = job.device.get();
    const std::int64_t now = clock_.now().toMSecsSinceEpoch();
    LineRecord after;
    const auto change = registry_.modify(
        handle,
        [&](LineRecord& r) {
            if (r.ended()) return false;  // the provider hung up meanwhile
            const QByteArray port = device->port();
            const QByteArray detail = error ? device->failureDetail().toUtf8() : QByteArray();
            if (r.state == state && r.error == error && r.port == port) return false;
            r.state = state;
            r.error = error;
            if (!port.isEmpty()) r.port = port;
            if (!detail.isEmpty()) r.detail = detail.left(500);
            if (state == RASCS_Connected && error == 0) {
                const LineHolder holder = device->holder();
                r.holder = holder.pid;
                r.holderStart = holder.start;
                r.holderKind = holder.kind;
                r.lockFile = holder.lockFile;
            }
            if (state == RASCS_Connected && error == 0) {
                r.connectedAt = now;
                // A line held by a process of its own ends when that process
                // does (the emulator's provider hangs up by itself).
                r.dropAt = r.holder == 0 && job.dropAfterSeconds > 0
                               ? now + job.dropAfterSeconds * 1000ll
                               : 0;
            }
            return true;
        },
        &after);
    if (state == RASCS_Connected && error == 0 &&
        (change != ConnectionRegistry::Change::Done || after.ended())) {
        // The line came up just as someone else ended the call: its holder
        // must not carry on with nobody knowing of it.
        const LineHolder holder = device->holder();
        if (holder.pid > 0 && processAlive(ProcessId{holder.pid, holder.start}))
            ::kill(static_cast<pid_t>(holder.pid), SIGTERM);
    }
    switch (change) {
        case ConnectionRegistry::Change::Gone:
            // Hung up by another program while we were dialing.
            notify(job, state, ERROR_DISCONNECTION);
            finish(handle);
            return;
        case ConnectionRegistry::Change::Unavailable:
            notify(job, state, ERROR_UNKNOWN);
            finish(handle);
            return;
        case ConnectionRegistry::Change::Done:
            break;
    }
    if (after.ended() && after.error != error) {
        notify(job, state, after.error);
        finish(handle);
        return;
    }
    notify(job, state, error);
    if (error != 0 || state == RASCS_Connected || state == RASCS_Disconnected) finish(handle);
}

DWORD LineService::RasHangUpA(HRASCONN connection) {
    if (connection == 0) return ERROR_INVALID_HANDLE;
    reap();
    const bool local = jobs_.count(connection) != 0;
    finish(connection);
    LineRecord held;
    const bool heldByPppd = !local && record(connection, &held) && held.established() &&
                            held.holderKind == "pppd" && held.port.startsWith('/') &&
                            processAlive(ProcessId{held.holder, held.holderStart});
    switch (registry_.remove(connection)) {
        case ConnectionRegistry::Change::Done:
            if (heldByPppd) {
                // pppd has been told to end; once it has, the modem is put back
                // on the hook from here, as a dialer does after its pppd.
                auto job = std::make_unique<DialJob>();
                auto modem = std::make_unique<SerialModem>(loop_, clock_, nullptr, paths_.lockDir);
                LineHolder holder;
                holder.pid = held.holder;
                holder.start = held.holderStart;
                modem->releaseAfter(held.port, holder);
                job->device = std::move(modem);
                finished_.push_back(std::move(job));
            }
            return ERROR_SUCCESS;
        case ConnectionRegistry::Change::Gone:
            return local ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
        case ConnectionRegistry::Change::Unavailable:
            return ERROR_UNKNOWN;
    }
    return ERROR_UNKNOWN;
}

DWORD LineService::RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status) {
    if (!status) return ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
    if (connection == 0) return ERROR_INVALID_HANDLE;
    if (!registry_.refresh()) return ERROR_UNKNOWN;
    const LineRecord* record = registry_.find(connection);
    if (!record) return ERROR_INVALID_HANDLE;
    std::memcpy(status, &record->status, sizeof *status);
    return ERROR_SUCCESS;
}

DWORD LineService::RasEnumConnectionsA(RASCONNA* connections, DWORD* cb, DWORD* count) {
    if (!cb || !count) return ERROR_INVALID_PARAMETER;
    if (!connections && *cb != 0) return ERROR_BUFFER_INVALID;
    if (connections && connections->dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
    if (!finished_.empty()) reap();
    *count = 0;
    if (!registry_.refresh()) return ERROR_UNKNOWN;
    const DWORD room = connections ? *cb / sizeof(RASCONNA) : 0;
    DWORD n = 0;
    // Calls still dialling are listed as well: a caller that watches for its
    // connection to vanish must not take its own dial for a dropped line.
    for (const LineRecord& r : registry_.records()) {
        if (r.ended()) continue;
        if (n < room) std::memcpy(&connections[n], &r.conn, sizeof(RASCONNA));
        ++n;
    }
    *count = n;
    if (n > room) {
        *cb = n * sizeof(RASCONNA);
        return ERROR_BUFFER_TOO_SMALL;
    }
    return ERROR_SUCCESS;
}

DWORD LineService::RasEnumEntriesA(const char* reserved, const char* phoneBookPath,
                                   RASENTRYNAMEA* entries, DWORD* cb, DWORD* count) {
    if (reserved || !cb || !count) return ERROR_INVALID_PARAMETER;
    if (!entries && *cb != 0) return ERROR_BUFFER_INVALID;
    if (entries && entries->dwSize != sizeof(RASENTRYNAMEA)) return ERROR_INVALID_SIZE;
    *count = 0;
    const QString path =
        phoneBookPath && *phoneBookPath ? QFile::decodeName(phoneBookPath) : QString();
    const PhoneBook book = phoneBook(path);
    if (book.error) return book.error;
    const DWORD room = entries ? *cb / sizeof(RASENTRYNAMEA) : 0;
    const DWORD total = static_cast<DWORD>(book.entries.size());
    // When the buffer is short, the records that fit are still filled, so a
    // caller that takes the first names gets real ones.
    for (DWORD i = 0; i < total && i < room; ++i) {
        RASENTRYNAMEA& out = entries[i];
        out.dwSize = sizeof(RASENTRYNAMEA);
        const QByteArray& name = book.entries[i].name;
        const std::size_t n = std::min<std::size_t>(name.size(), RAS_MaxEntryName);
        std::memcpy(out.szEntryName, name.constData(), n);
        out.szEntryName[n] = 0;
    }
    *count = total;
    if (total > room) {
        *cb = total * sizeof(RASENTRYNAMEA);
        return ERROR_BUFFER_TOO_SMALL;
    }
    return ERROR_SUCCESS;
}

QString LineService::failureDetail(HRASCONN connection) {
    LineRecord r;
    if (!record(connection, &r)) return {};
    return QString::fromUtf8(r.detail);
}

DWORD LineService::RasGetErrorStringA(DWORD code, char* buffer, DWORD size) {
    if (!buffer || size == 0) return ERROR_INVALID_PARAMETER;
    const char* text = rasErrorText(code);
    if (!text) return ERROR_INVALID_PARAMETER;
    const std::size_t length = std::strlen(text);
    if (length + 1 > size) {
        buffer[0] = 0;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, text, length + 1);
    return ERROR_SUCCESS;
}

std::vector<LineRecord> LineService::lines() {
    reap();
    std::vector<LineRecord> result;
    if (!registry_.refresh()) return result;
    for (const LineRecord& r : registry_.records())
        if (!r.ended()) result.push_back(r);
    return result;
}

bool LineService::record(HRASCONN connection, LineRecord* out) {
    if (!registry_.refresh()) return false;
    const LineRecord* r = registry_.find(connection);
    if (!r) return false;
    if (out) *out = *r;
    return true;
}

DWORD LineService::dropLine(HRASCONN connection) {
    switch (registry_.endByProvider(connection)) {
        case ConnectionRegistry::Change::Done:
            return ERROR_SUCCESS;
        case ConnectionRegistry::Change::Gone:
            return ERROR_INVALID_HANDLE;
        case ConnectionRegistry::Change::Unavailable:
            return ERROR_UNKNOWN;
    }
    return ERROR_UNKNOWN;
}

}  // namespace obu
