#include "dialup/modem/ModemResponses.h"

#include <utility>

namespace obu {

namespace {

// The numeric CONNECT codes of common modems and their speeds.
constexpr std::pair<int, int> kConnectSpeeds[] = {
    {1, 300},    {5, 1200},   {10, 2400},  {11, 4800},  {12, 9600},   {13, 7200},  {14, 12000},
    {15, 14400}, {16, 19200}, {17, 38400}, {18, 57600}, {19, 115200}, {59, 16800}, {61, 21600},
    {62, 24000}, {63, 26400}, {64, 28800}, {84, 33600}, {91, 31200},
};

// The results in digits (V0) other than CONNECT's.
constexpr std::pair<int, ModemResult::Kind> kNumericResults[] = {
    {0, ModemResult::Ok},       {2, ModemResult::Ring},       {3, ModemResult::NoCarrier},
    {4, ModemResult::Error},    {6, ModemResult::NoDialTone}, {7, ModemResult::Busy},
    {8, ModemResult::NoAnswer},
};

// The results in words (V1) other than CONNECT's.
constexpr std::pair<const char*, ModemResult::Kind> kWordResults[] = {
    {"OK", ModemResult::Ok},
    {"RING", ModemResult::Ring},
    {"NO CARRIER", ModemResult::NoCarrier},
    {"ERROR", ModemResult::Error},
    {"NO DIALTONE", ModemResult::NoDialTone},
    {"NO DIAL TONE", ModemResult::NoDialTone},
    {"BUSY", ModemResult::Busy},
    {"NO ANSWER", ModemResult::NoAnswer},
};

ModemResult numericResult(int code) {
    ModemResult r;
    for (const auto& [number, kind] : kNumericResults)
        if (number == code) {
            r.kind = kind;
            return r;
        }
    // 1 and 5 are CONNECT at low speeds; 10 and above are CONNECT at a
    // speed (the numbers differ between makers of modems).
    if (code == 1 || code == 5 || code >= 10) {
        r.kind = ModemResult::Connect;
        r.speed = connectSpeedOfCode(code);
    }
    return r;
}

// "CONNECT 33600/ARQ/V34/LAPM": the leading digits are the speed.
int connectSpeedOfWords(const QByteArray& line) {
    qsizetype i = 7;
    while (i < line.size() && line[i] == ' ') ++i;
    qsizetype j = i;
    while (j < line.size() && line[j] >= '0' && line[j] <= '9') ++j;
    return j > i ? line.mid(i, j - i).toInt() : 0;
}

}  // namespace

int connectSpeedOfCode(int code) {
    for (const auto& [number, speed] : kConnectSpeeds)
        if (number == code) return speed;
    return 0;
}

ModemResult parseModemResult(const QByteArray& raw) {
    const QByteArray line = raw.trimmed().toUpper();
    ModemResult r;
    if (line.isEmpty()) return r;
    bool numeric = false;
    const int code = line.toInt(&numeric);
    if (numeric) return numericResult(code);
    for (const auto& [word, kind] : kWordResults)
        if (line == word) {
            r.kind = kind;
            return r;
        }
    if (line == "CONNECT" || line.startsWith("CONNECT ") || line.startsWith("CONNECT/")) {
        r.kind = ModemResult::Connect;
        r.speed = connectSpeedOfWords(line);
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
