#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "dialup/DialUpService.h"
#include "dialup/modem/PhoneBookEntry.h"

namespace obu {

// What a dial asks of the device: the entry as the phone book has it and the
// caller's values (single-byte, already cut to the record limits).
struct LineRequest {
    PhoneBookEntry entry;
    QByteArray phoneNumber;  // the number to dial: the caller's or the entry's
    QByteArray callbackNumber;
    QByteArray userName;
    QByteArray password;
    QByteArray domain;
    // The call's handle and its record in the registry folder: a process that
    // holds the line watches the record and ends the line when it is gone.
    CallId handle = 0;
    QString linesDir;
    QString recordPath;
    // The folder of the serial devices' UUCP locks.
    QString lockDir;
};

// The process that holds an established line by itself (pppd, or the modem
// emulator with its PPP stand-in), once the dialing program may end.
struct LineHolder {
    std::int64_t pid = 0;
    std::uint64_t start = 0;
    QByteArray kind;      // "pppd" or "emulator"
    QByteArray lockFile;  // the UUCP lock that names it, if any
};

// The far end's memory that outlives a call and the process that made it: a
// line that gave two busy signals answers the third call from any program.
class LineMemory {
public:
    virtual ~LineMemory() = default;
    // True when this call to the line finds it busy: the line has answered
    // busy fewer than busyTimes calls in a row. Answering resets the count.
    virtual bool callFindsBusy(const QByteArray& line, int busyTimes) = 0;
};

// A device that carries one call: the modem inside the process, or a serial
// modem (the emulator's on a pseudo-terminal, or a real one) driven with AT
// commands and pppd. It runs on the event loop of the dialing process.
class LineDevice {
public:
    // The stage the call reached; error 0 for a stage reached, else the
    // code that ended the call at that stage.
    using Report = std::function<void(CallState state, DialUpError error)>;

    virtual ~LineDevice() = default;
    // Starts the call and reports every stage in order. The call ends with a
    // report of CallState::Connected or with a report that carries an error;
    // nothing is reported after that.
    virtual void dial(const LineRequest& request, Report report) = 0;
    // Ends the call at once; nothing is reported afterwards.
    virtual void hangUp() = 0;
    // The serial device that carries the call, once known (empty: none).
    virtual QByteArray port() const { return {}; }
    // Why the call failed, in more words than its code (empty: nothing more).
    virtual QString failureDetail() const { return {}; }
    // The process that holds the line after CallState::Connected (pid 0: none; the
    // connection then lasts until someone hangs it up).
    virtual LineHolder holder() const { return {}; }
    // True while the device still works on a hang-up (a modem put back on the
    // hook): it must not be destroyed before then unless its owner ends.
    virtual bool busy() const { return false; }
};

using LineDeviceFactory = std::function<std::unique_ptr<LineDevice>(const PhoneBookEntry&)>;

}  // namespace obu
