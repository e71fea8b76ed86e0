#include "tools/obu-modem/HayesEmulator.h"

#include <cctype>

namespace obu {

namespace {

// Whether `line` holds the two characters of `upper` at `at`, letters in
// either case. Looked at for every byte typed, so it copies nothing.
bool pairAt(const QByteArray& line, qsizetype at, const char* upper) {
    if (at < 0 || at + 2 > line.size()) return false;
    for (int i = 0; i < 2; ++i)
        if (std::toupper(static_cast<unsigned char>(line[at + i])) != upper[i]) return false;
    return true;
}

const char* words(int code) {
    switch (code) {
        case 0:
            return "OK";
        case 1:
            return "CONNECT";
        case 2:
            return "RING";
        case 3:
            return "NO CARRIER";
        case 4:
            return "ERROR";
        case 6:
            return "NO DIALTONE";
        case 7:
            return "BUSY";
        case 8:
            return "NO ANSWER";
        default:
            return "ERROR";
    }
}

// The numeric CONNECT code for a speed, as common modems give it.
int connectCode(int speed) {
    switch (speed) {
        case 1200:
            return 5;
        case 2400:
            return 10;
        case 4800:
            return 11;
        case 9600:
            return 12;
        case 14400:
            return 15;
        case 19200:
            return 16;
        case 28800:
            return 64;
        case 33600:
            return 84;
        case 38400:
            return 17;
        case 57600:
            return 18;
        case 115200:
            return 19;
        default:
            return 1;
    }
}

}  // namespace

HayesEmulator::HayesEmulator(Config config, BusyMemory memory)
    : m_config(config), m_memory(std::move(memory)) {
    resetSettings();
}

void HayesEmulator::resetSettings() {
    m_echo = true;
    m_verbose = true;
    m_quiet = false;
    m_xLevel = 4;
    m_s.clear();
    m_s[0] = 0;
    m_s[2] = 43;  // the escape character, '+'
    m_s[3] = 13;
    m_s[4] = 10;
    m_s[5] = 8;
    m_s[7] = 50;
    m_s[12] = 50;  // the escape's guard time in fiftieths of a second
}

int HayesEmulator::guardMs() const {
    const auto it = m_s.find(12);
    return (it == m_s.end() ? 50 : it->second) * 20;
}

void HayesEmulator::say(const QByteArray& bytes) {
    if (!m_config.mute) m_output += bytes;
}

void HayesEmulator::say(char c) {
    if (!m_config.mute) m_output += c;
}

QByteArray HayesEmulator::takeOutput() {
    QByteArray out;
    out.swap(m_output);
    return out;
}

QByteArray HayesEmulator::takeTranscript() {
    QByteArray out;
    out.swap(m_transcript);
    return out;
}

void HayesEmulator::result(Code code) {
    if (m_quiet) return;
    if (m_config.noise) {
        // Bytes that are no result: a torn word, binary rubbish, a stray line.
        QByteArray noise = "\r\nCONN\x01\xfe";
        for (int i = 0; i < 6; ++i) {
            m_noiseSeed = m_noiseSeed * 1103515245u + 12345u;
            noise += static_cast<char>((m_noiseSeed >> 16) & 0xFF);
        }
        noise += "\r\nNOISE 12\r\n";
        say(noise);
    }
    if (m_verbose) {
        QByteArray text = words(code);
        if (code == Connect && m_xLevel > 0) text += ' ' + QByteArray::number(m_config.speed);
        say("\r\n" + text + "\r\n");
    } else {
        int number = code;
        if (code == Connect && m_xLevel > 0) number = connectCode(m_config.speed);
        say(QByteArray::number(number) + '\r');
    }
}

void HayesEmulator::receive(const QByteArray& bytes, std::int64_t now) {
    for (char c : bytes) {
        switch (m_state) {
            case State::Command:
            case State::Escaped:
                commandByte(c, now);
                break;
            case State::Dialing:
                // Any character stops a dial, as on every Hayes modem.
                m_transcript += "(dial stopped)\n";
                m_dialDueAt = -1;
                m_state = State::Command;
                result(NoCarrier);
                break;
            case State::Online: {
                const char escape = static_cast<char>(m_s[2]);
                const bool quietBefore = now - m_lastByteAt >= guardMs();
                if (c == escape &&
                    ((m_plusCount == 0 && quietBefore) || (m_plusCount > 0 && m_plusCount < 3))) {
                    ++m_plusCount;
                    if (m_plusCount == 3) m_escapeDueAt = now + guardMs();
                } else {
                    m_plusCount = 0;
                    m_escapeDueAt = -1;
                    if (m_config.echoData) say(c);
                }
                break;
            }
        }
        m_lastByteAt = now;
    }
    advance(now);
}

void HayesEmulator::commandByte(char c, std::int64_t now) {
    if (m_echo) say(c);
    if (c == '\r' || c == '\n') {
        if (c == '\n' && m_line.isEmpty()) return;
        const QByteArray line = m_line.trimmed();
        m_line.clear();
        if (pairAt(line, 0, "AT")) {
            m_lastLine = line;
            execute(line, now);
        }
        return;
    }
    if (c == 8 || c == 127) {
        m_line.chop(1);
        return;
    }
    m_line += c;
    // A command starts at "AT": whatever came before it (a stray "+++", noise)
    // is dropped, as a Hayes modem does.
    if (m_line.size() > 2 && pairAt(m_line, m_line.size() - 2, "AT") && !pairAt(m_line, 0, "AT"))
        m_line.remove(0, m_line.size() - 2);
    if (pairAt(m_line, 0, "A/")) {
        // Repeat the last command.
        m_line.clear();
        if (m_echo) say("\r");
        if (!m_lastLine.isEmpty()) execute(m_lastLine, now);
        return;
    }
    if (m_line.size() > 255) m_line.clear();
}

void HayesEmulator::execute(const QByteArray& line, std::int64_t now) {
    m_transcript += line + '\n';
    if (m_config.mute) return;
    const QByteArray cmd = line.mid(2);
    // Numbers of commands, registers and their values are small: a longer
    // one is an error, never an overflow.
    constexpr int kLargest = 255;
    bool tooLarge = false;
    const auto number = [&](qsizetype& i) {
        int n = 0;
        while (i < cmd.size() && std::isdigit(static_cast<unsigned char>(cmd[i]))) {
            if (n <= kLargest) n = n * 10 + (cmd[i] - '0');
            ++i;
        }
        if (n > kLargest) {
            tooLarge = true;
            return 0;
        }
        return n;
    };
    bool reset = false;
    for (qsizetype i = 0; i < cmd.size();) {
        if (tooLarge) {
            result(Error);
            return;
        }
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(cmd[i++])));
        switch (c) {
            case ' ':
                break;
            case 'Z':
                number(i);
                resetSettings();
                reset = true;
                break;
            case 'E':
                m_echo = number(i) != 0;
                break;
            case 'V':
                m_verbose = number(i) != 0;
                break;
            case 'Q':
                m_quiet = number(i) != 0;
                break;
            case 'X': {
                const int x = number(i);
                if (x > 4) {
                    result(Error);
                    return;
                }
                m_xLevel = x;
                break;
            }
            case 'L':
            case 'M':
            case 'B':
            case 'N':
            case 'W':
            case 'Y':
                number(i);
                break;
            case 'H':
                number(i);
                if (inCall()) endCall(false);
                break;
            case 'O':
                number(i);
                if (m_state == State::Escaped) {
                    m_state = State::Online;
                    m_plusCount = 0;
                    result(Connect);
                    return;
                }
                result(NoCarrier);
                return;
            case 'I':
                number(i);
                say("\r\nObu Modem Emulator\r\n");
                break;
            case 'A':
                // No call is coming in.
                result(NoCarrier);
                return;
            case 'S': {
                const int reg = number(i);
                if (tooLarge) break;
                if (i < cmd.size() && cmd[i] == '=') {
                    ++i;
                    const int value = number(i);
                    if (!tooLarge) m_s[reg] = value;
                } else if (i < cmd.size() && cmd[i] == '?') {
                    ++i;
                    say("\r\n" + QByteArray::number(m_s[reg]).rightJustified(3, '0') + "\r\n");
                }
                break;
            }
            case '&':
            case '\\':
            case '%': {
                if (i >= cmd.size()) {
                    result(Error);
                    return;
                }
                const char what =
                    static_cast<char>(std::toupper(static_cast<unsigned char>(cmd[i++])));
                number(i);
                if (c == '&' && what == 'F') resetSettings();
                break;
            }
            case '+':
                // Extended commands (+MS=…, +CGDCONT=…): taken as they are.
                i = cmd.size();
                break;
            case 'D':
                if (m_state != State::Command) {
                    result(Error);
                    return;
                }
                startDial(cmd.mid(i), now);
                return;
            default:
                result(Error);
                return;
        }
    }
    if (tooLarge) {
        result(Error);
        return;
    }
    if (reset) {
        m_pendingOkAt = now + m_config.resetMs;
        return;
    }
    result(Ok);
}

void HayesEmulator::startDial(const QByteArray& dialString, std::int64_t now) {
    QByteArray digits;
    bool stayInCommandMode = false;
    for (char c : dialString) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') digits += c;
        if (c == ';') stayInCommandMode = true;
    }
    if (stayInCommandMode) {
        result(Ok);
        return;
    }
    Answer outcome = m_config.answer;
    if (outcome == Answer::Connect && m_config.busyCount > 0) {
        const QByteArray key = digits.isEmpty() ? QByteArray("(no number)") : digits;
        const bool busy =
            m_memory ? m_memory(key, m_config.busyCount) : m_busyGiven[key]++ < m_config.busyCount;
        if (!busy) m_busyGiven[key] = 0;
        if (busy) outcome = Answer::Busy;
    }
    m_dialOutcome = outcome;
    m_state = State::Dialing;
    m_dialDueAt = outcome == Answer::Silent ? -1 : now + m_config.ringMs;
}

void HayesEmulator::finishDial() {
    m_dialDueAt = -1;
    m_state = State::Command;
    switch (m_dialOutcome) {
        case Answer::Connect:
            m_state = State::Online;
            m_plusCount = 0;
            result(Connect);
            if (onCarrier) onCarrier(true);
            return;
        case Answer::Busy:
            result(m_xLevel >= 3 ? Busy : NoCarrier);
            return;
        case Answer::NoDialTone:
            result(m_xLevel == 2 || m_xLevel == 4 ? NoDialTone : NoCarrier);
            return;
        case Answer::NoAnswer:
            result(m_xLevel > 0 ? NoAnswer : NoCarrier);
            return;
        case Answer::NoCarrier:
            result(NoCarrier);
            return;
        case Answer::Error:
            result(Error);
            return;
        case Answer::Silent:
            return;
    }
}

void HayesEmulator::advance(std::int64_t now) {
    if (m_pendingOkAt >= 0 && now >= m_pendingOkAt) {
        m_pendingOkAt = -1;
        result(Ok);
    }
    if (m_dialDueAt >= 0 && now >= m_dialDueAt) finishDial();
    if (m_escapeDueAt >= 0 && now >= m_escapeDueAt) {
        m_escapeDueAt = -1;
        // Three escape characters between two guard times of silence: back to
        // commands, the call kept.
        if (m_state == State::Online && m_plusCount == 3 && now - m_lastByteAt >= guardMs()) {
            m_transcript += "+++\n";
            m_state = State::Escaped;
            result(Ok);
        }
        m_plusCount = 0;
    }
}

std::int64_t HayesEmulator::nextDue() const {
    std::int64_t due = -1;
    for (std::int64_t t : {m_pendingOkAt, m_dialDueAt, m_escapeDueAt})
        if (t >= 0 && (due < 0 || t < due)) due = t;
    return due;
}

void HayesEmulator::endCall(bool report) {
    const bool wasUp = inCall();
    m_state = State::Command;
    m_plusCount = 0;
    m_escapeDueAt = -1;
    if (report && wasUp) result(NoCarrier);
    if (wasUp && onCarrier) onCarrier(false);
}

void HayesEmulator::dropCarrier() {
    if (m_state == State::Dialing) {
        m_dialDueAt = -1;
        m_state = State::Command;
        result(NoCarrier);
        return;
    }
    endCall(true);
}

void HayesEmulator::hangUpQuietly() {
    m_dialDueAt = -1;
    m_pendingOkAt = -1;
    m_line.clear();
    endCall(false);
    if (m_state == State::Dialing) m_state = State::Command;
}

}  // namespace obu
