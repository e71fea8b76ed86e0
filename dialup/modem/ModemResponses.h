#pragma once
#include <QByteArray>
#include <vector>

#include "dialup/DialUpService.h"

namespace obu {

// What a Hayes modem answers to a command, in words (V1) or digits (V0).
struct ModemResult {
    enum Kind {
        None,  // not a result: an echo, a banner, noise
        Ok,
        Connect,
        Ring,
        NoCarrier,
        Error,
        NoDialTone,
        Busy,
        NoAnswer,
    };
    Kind kind = None;
    int speed = 0;  // the speed that CONNECT reported, 0 when it gave none
};

// Reads one line of the modem's output (without its line ends).
ModemResult parseModemResult(const QByteArray& line);
// The numeric CONNECT codes of common modems and the speeds they stand for.
int connectSpeedOfCode(int code);

// The service's code for a dial that ended with this result; 0 for CONNECT.
DialUpError dialFailure(ModemResult::Kind kind);

// Splits the modem's output into lines: words end in CR LF, digits (V0) in a
// bare CR. Complete lines are moved out of buffer; a partial one stays.
std::vector<QByteArray> takeModemLines(QByteArray& buffer);

// The dial command: the prefix (ATDT unless the entry names another) and the
// number with only the characters a dial string may hold, so that nothing in a
// phone number can end the command early or add another.
QByteArray dialCommand(const QByteArray& prefix, const QByteArray& number);

}  // namespace obu
