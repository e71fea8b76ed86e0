#pragma once
#include <QByteArray>
#include <functional>
#include <memory>

#include "ras/PhoneBook.h"
#include "ras/RasApi.h"

namespace obu {

// What a dial asks of the device: the entry as the phone book has it and the
// caller's values (single-byte, already cut to the record limits).
struct DialRequest {
    PhoneBookEntry entry;
    QByteArray phoneNumber;  // the number to dial: the caller's or the entry's
    QByteArray callbackNumber;
    QByteArray userName;
    QByteArray password;
    QByteArray domain;
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

// A device that carries one call: a simulated modem now; a serial modem with
// AT commands and pppd later. It runs on the event loop of the dialing process.
class LineDevice {
public:
    // state is a RASCONNSTATE value; error 0 for a stage reached, else the
    // code that ended the call at that stage.
    using Report = std::function<void(DWORD state, DWORD error)>;

    virtual ~LineDevice() = default;
    // Starts the call and reports every stage in order. The call ends with a
    // report of RASCS_Connected or with a report that carries an error;
    // nothing is reported after that.
    virtual void dial(const DialRequest& request, Report report) = 0;
    // Ends the call at once; nothing is reported afterwards.
    virtual void hangUp() = 0;
};

using LineDeviceFactory = std::function<std::unique_ptr<LineDevice>(const PhoneBookEntry&)>;

}  // namespace obu
