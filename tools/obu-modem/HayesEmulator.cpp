#include "tools/obu-modem/HayesEmulator.h"

#include <cctype>

namespace obu {

namespace {

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
    : config_(config), memory_(std::move(memory)) {
    resetSettings();
}

void HayesEmulator::resetSettings() {
    echo_ = true;
    verbose_ = true;
    quiet_ = false;
    xLevel_ = 4;
    s_.clear();
    s_[0] = 0;
    s_[2] = 43;  // the escape character, '+'
    s_[3] = 13;
    s_[4] = 10;
    s_[5] = 8;
    s_[7] = 50;
    s_[12] = 50;  // the escape's guard time in fiftieths of a second
}

int HayesEmulator::guardMs() const {
    const auto it = s_.find(12);
    return (it == s_.end() ? 50 : it->second) * 20;
}

void HayesEmulator::say(const QByteArray& bytes) {
    if (!config_.mute) output_ += bytes;
}

QByteArray HayesEmulator::takeOutput() {
    QByteArray out;
    out.swap(output_);
    return out;
}

QByteArray HayesEmulator::takeTranscript() {
    QByteArray out;
    out.swap(transcript_);
    return out;
}

void HayesEmulator::result(Code code) {
    if (quiet_) return;
    if (config_.noise) {
        // Bytes that are no result: a torn word, binary rubbish, a stray line.
        QByteArray noise = "\r\nCONN\x01\xfe";
        for (int i = 0; i < 6; ++i) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            noise += static_cast<char>((noiseSeed_ >> 16) & 0xFF);
        }
        noise += "\r\nNOISE 12\r\n";
        say(noise);
    }
    if (verbose_) {
        QByteArray text = words(code);
        if (code == Connect && xLevel_ > 0) text += ' ' + QByteArray::number(config_.speed);
        say("\r\n" + text + "\r\n");
    } else {
        int number = code;
        if (code == Connect && xLevel_ > 0) number = connectCode(config_.speed);
        say(QByteArray::number(number) + '\r');
    }
}

void HayesEmulator::receive(const QByteArray& bytes, std::int64_t now) {
    for (char c : bytes) {
        switch (state_) {
            case State::Command:
            case State::Escaped:
                commandByte(c, now);
                break;
            case State::Dialing:
                // Any character stops a dial, as on every Hayes modem.
                transcript_ += "(dial stopped)\n";
                dialDueAt_ = -1;
                state_ = State::Command;
                result(NoCarrier);
                break;
            case State::Online: {
                const char escape = static_cast<char>(s_[2]);
                const bool quietBefore = now - lastByteAt_ >= guardMs();
                if (c == escape &&
                    ((plusCount_ == 0 && quietBefore) || (plusCount_ > 0 && plusCount_ < 3))) {
                    ++plusCount_;
                    if (plusCount_ == 3) escapeDueAt_ = now + guardMs();
                } else {
                    plusCount_ = 0;
                    escapeDueAt_ = -1;
                    if (config_.echoData) say(QByteArray(1, c));
                }
                break;
            }
        }
        lastByteAt_ = now;
    }
    advance(now);
}

void HayesEmulator::commandByte(char c, std::int64_t now) {
    if (echo_) say(QByteArray(1, c));
    if (c == '\r' || c == '\n') {
        if (c == '\n' && line_.isEmpty()) return;
        const QByteArray line = line_.trimmed();
        line_.clear();
        if (line.size() >= 2 && line.left(2).toUpper() == "AT") {
            lastLine_ = line;
            execute(line, now);
        }
        return;
    }
    if (c == 8 || c == 127) {
        line_.chop(1);
        return;
    }
    line_ += c;
    // A command starts at "AT": whatever came before it (a stray "+++", noise)
    // is dropped, as a Hayes modem does.
    if (line_.size() > 2 && line_.right(2).toUpper() == "AT" && line_.left(2).toUpper() != "AT")
        line_ = line_.right(2);
    if (line_.size() >= 2 && line_.left(2).toUpper() == "A/") {
        // Repeat the last command.
        line_.clear();
        if (echo_) say("\r");
        if (!lastLine_.isEmpty()) execute(lastLine_, now);
        return;
    }
    if (line_.size() > 255) line_.clear();
}

void HayesEmulator::execute(const QByteArray& line, std::int64_t now) {
    transcript_ += line + '\n';
    if (config_.mute) return;
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
                echo_ = number(i) != 0;
                break;
            case 'V':
                verbose_ = number(i) != 0;
                break;
            case 'Q':
                quiet_ = number(i) != 0;
                break;
            case 'X': {
                const int x = number(i);
                if (x > 4) {
                    result(Error);
                    return;
                }
                xLevel_ = x;
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
                if (state_ == State::Escaped) {
                    state_ = State::Online;
                    plusCount_ = 0;
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
                    if (!tooLarge) s_[reg] = value;
                } else if (i < cmd.size() && cmd[i] == '?') {
                    ++i;
                    say("\r\n" + QByteArray::number(s_[reg]).rightJustified(3, '0') + "\r\n");
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
                if (state_ != State::Command) {
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
        pendingOkAt_ = now + config_.resetMs;
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
    Answer outcome = config_.answer;
    if (outcome == Answer::Connect && config_.busyCount > 0) {
        const QByteArray key = digits.isEmpty() ? QByteArray("(no number)") : digits;
        const bool busy =
            memory_ ? memory_(key, config_.busyCount) : busyGiven_[key]++ < config_.busyCount;
        if (!busy) busyGiven_[key] = 0;
        if (busy) outcome = Answer::Busy;
    }
    dialOutcome_ = outcome;
    state_ = State::Dialing;
    dialDueAt_ = outcome == Answer::Silent ? -1 : now + config_.ringMs;
}

void HayesEmulator::finishDial() {
    dialDueAt_ = -1;
    state_ = State::Command;
    switch (dialOutcome_) {
        case Answer::Connect:
            state_ = State::Online;
            plusCount_ = 0;
            result(Connect);
            if (onCarrier) onCarrier(true);
            return;
        case Answer::Busy:
            result(xLevel_ >= 3 ? Busy : NoCarrier);
            return;
        case Answer::NoDialTone:
            result(xLevel_ == 2 || xLevel_ == 4 ? NoDialTone : NoCarrier);
            return;
        case Answer::NoAnswer:
            result(xLevel_ > 0 ? NoAnswer : NoCarrier);
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
    if (pendingOkAt_ >= 0 && now >= pendingOkAt_) {
        pendingOkAt_ = -1;
        result(Ok);
    }
    if (dialDueAt_ >= 0 && now >= dialDueAt_) finishDial();
    if (escapeDueAt_ >= 0 && now >= escapeDueAt_) {
        escapeDueAt_ = -1;
        // Three escape characters between two guard times of silence: back to
        // commands, the call kept.
        if (state_ == State::Online && plusCount_ == 3 && now - lastByteAt_ >= guardMs()) {
            transcript_ += "+++\n";
            state_ = State::Escaped;
            result(Ok);
        }
        plusCount_ = 0;
    }
}

std::int64_t HayesEmulator::nextDue() const {
    std::int64_t due = -1;
    for (std::int64_t t : {pendingOkAt_, dialDueAt_, escapeDueAt_})
        if (t >= 0 && (due < 0 || t < due)) due = t;
    return due;
}

void HayesEmulator::endCall(bool report) {
    const bool wasUp = inCall();
    state_ = State::Command;
    plusCount_ = 0;
    escapeDueAt_ = -1;
    if (report && wasUp) result(NoCarrier);
    if (wasUp && onCarrier) onCarrier(false);
}

void HayesEmulator::dropCarrier() {
    if (state_ == State::Dialing) {
        dialDueAt_ = -1;
        state_ = State::Command;
        result(NoCarrier);
        return;
    }
    endCall(true);
}

void HayesEmulator::hangUpQuietly() {
    dialDueAt_ = -1;
    pendingOkAt_ = -1;
    line_.clear();
    endCall(false);
    if (state_ == State::Dialing) state_ = State::Command;
}

}  // namespace obu
