#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>

namespace obu {

// The command interpreter and the far end of a Hayes-compatible modem, driven
// by bytes from the computer and by the time. It knows nothing of devices: the
// program feeds it what the computer wrote and sends on what it answers.
class HayesEmulator {
public:
    // How the far end answers a dial.
    enum class Answer { Connect, Busy, NoDialTone, NoAnswer, NoCarrier, Error, Silent };

    struct Config {
        int resetMs = 300;  // ATZ takes this long
        int ringMs = 2500;  // from ATD to the far end's answer (or failure)
        int speed = 33600;  // CONNECT speed
        Answer answer = Answer::Connect;
        int busyCount = 0;     // busy this many calls in a row, then answer
        bool mute = false;     // a dead modem: never answers anything
        bool noise = false;    // line noise before every result
        bool echoData = true;  // online, the far end sends back what it gets
    };
    // A line that gave busy signals: whether this call to it finds it busy.
    using BusyMemory = std::function<bool(const QByteArray& number, int busyTimes)>;

    HayesEmulator(Config config, BusyMemory memory);

    // Bytes from the computer at a moment (milliseconds, any origin).
    void receive(const QByteArray& bytes, std::int64_t nowMs);
    // Lets time pass: delayed results, the escape's guard time.
    void advance(std::int64_t nowMs);
    // The earliest moment at which advance() has something to do; -1 for none.
    std::int64_t nextDue() const;
    // Takes what the modem has to say to the computer.
    QByteArray takeOutput();
    // The far end hangs up (or the line drops): NO CARRIER when a call is up.
    void dropCarrier();
    // DTR dropped (the computer closed the device): the call ends, quietly.
    void hangUpQuietly();

    bool online() const { return m_state == State::Online; }
    bool inCall() const { return m_state == State::Online || m_state == State::Escaped; }
    // The commands received, one per line, for a transcript.
    QByteArray takeTranscript();
    // Called when a call connects or ends.
    std::function<void(bool up)> onCarrier;

private:
    enum class State { Command, Dialing, Online, Escaped };
    enum Code {
        Ok = 0,
        Connect = 1,
        Ring = 2,
        NoCarrier = 3,
        Error = 4,
        NoDialTone = 6,
        Busy = 7,
        NoAnswer = 8
    };

    void resetSettings();
    void commandByte(char c, std::int64_t now);
    void execute(const QByteArray& line, std::int64_t now);
    void result(Code code);
    void say(const QByteArray& bytes);
    void say(char c);  // an echo, byte by byte
    void startDial(const QByteArray& dialString, std::int64_t now);
    void finishDial();
    void endCall(bool report);
    int guardMs() const;

    Config m_config;
    BusyMemory m_memory;
    State m_state = State::Command;
    // Settings that ATZ restores.
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    int m_xLevel = 4;
    std::map<int, int> m_s;
    QByteArray m_line;
    QByteArray m_lastLine;
    QByteArray m_output;
    QByteArray m_transcript;
    std::int64_t m_pendingOkAt = -1;  // ATZ finishing
    std::int64_t m_dialDueAt = -1;
    Answer m_dialOutcome = Answer::Connect;
    std::int64_t m_lastByteAt = -1000000;
    int m_plusCount = 0;
    std::int64_t m_escapeDueAt = -1;
    std::map<QByteArray, int> m_busyGiven;
    unsigned m_noiseSeed = 12345;
};

}  // namespace obu
