#include "dialup/modem/ModemResponses.h"

namespace obu {

int connectSpeedOfCode(int code) {
    switch (code) {
        case 1:
            return 300;
        case 5:
            return 1200;
        case 10:
            return 2400;
        case 11:
            return 4800;
        case 12:
            return 9600;
        case 13:
            return 7200;
        case 14:
            return 12000;
        case 15:
            return 14400;
        case 16:
            return 19200;
        case 17:
            return 38400;
        case 18:
            return 57600;
        case 19:
            return 115200;
        case 59:
            return 16800;
        case 61:
            return 21600;
        case 62:
            return 24000;
        case 63:
            return 26400;
        case 64:
            return 28800;
        case 84:
            return 33600;
        case 91:
            return 31200;
        default:
            return 0;
    }
}

ModemResult parseModemResult(const QByteArray& raw) {
    const QByteArray line = raw.trimmed().toUpper();
    ModemResult r;
    if (line.isEmpty()) return r;
    bool numeric = false;
    const int code = line.toInt(&numeric);
    if (numeric) {
        switch (code) {
            case 0:
                r.kind = ModemResult::Ok;
                break;
            case 2:
                r.kind = ModemResult::Ring;
                break;
            case 3:
                r.kind = ModemResult::NoCarrier;
                break;
            case 4:
                r.kind = ModemResult::Error;
                break;
            case 6:
                r.kind = ModemResult::NoDialTone;
                break;
            case 7:
                r.kind = ModemResult::Busy;
                break;
            case 8:
                r.kind = ModemResult::NoAnswer;
                break;
            default:
                // 1 and 5 are CONNECT at low speeds; 10 and above are CONNECT at a
                // speed (the numbers differ between makers of modems).
                if (code == 1 || code == 5 || code >= 10) {
                    r.kind = ModemResult::Connect;
                    r.speed = connectSpeedOfCode(code);
                }
        }
        return r;
    }
    if (line == "OK")
        r.kind = ModemResult::Ok;
    else if (line == "RING")
        r.kind = ModemResult::Ring;
    else if (line == "NO CARRIER")
        r.kind = ModemResult::NoCarrier;
    else if (line == "ERROR")
        r.kind = ModemResult::Error;
    else if (line == "NO DIALTONE" || line == "NO DIAL TONE")
        r.kind = ModemResult::NoDialTone;
    else if (line == "BUSY")
        r.kind = ModemResult::Busy;
    else if (line == "NO ANSWER")
        r.kind = ModemResult::NoAnswer;
    else if (line == "CONNECT" || line.startsWith("CONNECT ") || line.startsWith("CONNECT/")) {
        r.kind = ModemResult::Connect;
        // "CONNECT 33600/ARQ/V34/LAPM": the leading digits are the speed.
        qsizetype i = 7;
        while (i < line.size() && line[i] == ' ') ++i;
        qsizetype j = i;
        while (j < line.size() && line[j] >= '0' && line[j] <= '9') ++j;
        if (j > i) r.speed = line.mid(i, j - i).toInt();
    }
    return r;
}

DialUpError dialFailure(ModemResult::Kind kind) {
    switch (kind) {
        case ModemResult::Connect:
            return 0;
        case ModemResult::Busy:
            return dialup_error::LineBusy;
        case ModemResult::NoDialTone:
            return dialup_error::NoDialTone;
        case ModemResult::NoCarrier:
            return dialup_error::NoCarrier;
        case ModemResult::NoAnswer:
            return dialup_error::NoAnswer;
        // ERROR, and OK (a dial string that returned to command mode), are the
        // modem refusing the dial.
        default:
            return dialup_error::FromDevice;
    }
}

std::vector<QByteArray> takeModemLines(QByteArray& buffer) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        const char c = buffer[i];
        if (c != '\r' && c != '\n') continue;
        if (i > start) lines.push_back(buffer.mid(start, i - start));
        start = i + 1;
    }
    buffer.remove(0, start);
    // A line that never ends is noise: keep the buffer bounded.
    if (buffer.size() > 512) buffer.remove(0, buffer.size() - 512);
    return lines;
}

QByteArray dialCommand(const QByteArray& prefix, const QByteArray& number) {
    QByteArray command = prefix.isEmpty() ? QByteArray("ATDT") : prefix;
    command.replace('\r', "").replace('\n', "");
    for (char c : number) {
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || c == ',' || c == 'W' || c == 'w' ||
            c == 'P' || c == 'p' || c == 'T' || c == 't' || c == '!' || c == '@' ||
            (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'))
            command += c;
    }
    return command + '\r';
}

}  // namespace obu
