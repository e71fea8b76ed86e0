#pragma once
#include <QByteArray>
#include <cstdint>

#include "dialup/DialUpService.h"

namespace obu {

// One call as every process of the user sees it.
struct LineRecord {
    CallId handle = 0;
    QByteArray entry;
    QByteArray phoneNumber;
    QByteArray device;
    QByteArray deviceType;
    QByteArray userName;
    CallState state = CallState::OpenPort;
    DialUpError error = 0;
    // The dialing process and its start time (against a reused process id).
    std::int64_t owner = 0;
    std::uint64_t ownerStart = 0;
    // Milliseconds since the epoch; dropAt 0: the provider never hangs up.
    std::int64_t startedAt = 0;
    std::int64_t connectedAt = 0;
    std::int64_t dropAt = 0;
    // The serial device of the call (a real modem's, or the emulator's
    // pseudo-terminal), and why it failed in more words than its code.
    QByteArray port;
    QByteArray detail;
    // The process that holds an established line by itself (pppd or the modem
    // emulator): the connection ends when it does. 0: none.
    std::int64_t holder = 0;
    std::uint64_t holderStart = 0;
    QByteArray holderKind;
    QByteArray lockFile;

    bool ended() const { return error != 0 || state == CallState::Disconnected; }
    bool established() const { return state == CallState::Connected && error == 0; }
    bool dialing() const { return !ended() && !established(); }

    // Set when the folder is read and the owner turns out to be another
    // process than the one that dialed.
    bool ownerGone = false;
    bool holderGone = false;
};

// The text of a call's record file, and the record read back from such text
// (false when it names no call or holds a malformed number).
QByteArray recordText(const LineRecord& record);
bool parseRecordText(const QByteArray& text, LineRecord& record);

// The name of a call's record file in the registry folder: conn-XXXXXXXX.
QByteArray recordName(CallId handle);

}  // namespace obu
