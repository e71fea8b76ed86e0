#pragma once
#include <QByteArray>
#include <QString>

#include "dialup/modem/ModemLink.h"
#include "dialup/modem/Processes.h"

namespace obu {

// The demo entries' link: the modem is our emulator (obu-modem), started for
// the call on a pseudo-terminal pair in a process of its own, outside our
// session, so that it outlives the program that dialled. It plays the far end
// that the entry describes (busy, no dial tone, …) and, after CONNECT, a
// stand-in for pppd and the provider: the PPP stages with the entry's delays,
// its account check and its time to drop the line. That process then holds the
// connection, as pppd holds a real one.
//
// The two talk over a socket pair (the emulator's descriptor 3), one line a
// message: the emulator says "PORT <path>", "STAGE <state>" and
// "FAIL <state> <code>"; we say "PPP <user> <password> <user accepted>
// <password accepted>" (percent-encoded) to start the PPP stage. The emulator
// ends the call when the socket closes before Connected, when the call's
// registry record disappears, or on SIGTERM; SIGUSR1 makes its far end hang up.
class EmulatorLink : public ModemLink {
public:
    EmulatorLink(QByteArray program, const LineRequest& request);
    ~EmulatorLink() override;

    PortState port(QByteArray& path, DialUpError& error, QString& detail) override;
    bool portIsOurOwn() const override { return true; }
    bool startPpp(SerialPort& port, UucpLock& lock, const LineRequest& request, DialUpError& error,
                  QString& detail) override;
    void pollPpp(std::vector<Event>& events, QString& detail) override;
    LineHolder holder() const override;
    void abandon() override;
    void release() override;

    // The emulator's arguments for the entry's far end (no secrets among them).
    static QList<QByteArray> arguments(const LineRequest& request);
    // obu-modem: $OBU_MODEM_PROGRAM, else beside the running program, else on the PATH.
    static QByteArray defaultProgram();

private:
    bool readLines(QList<QByteArray>& lines);
    void closeControl();

    QByteArray m_program;
    QList<QByteArray> m_arguments;
    int m_control = -1;
    ProcessId m_process;
    QByteArray m_input;
    bool m_started = false;
    bool m_connected = false;
    CallState m_stage = CallState::Authenticate;
};

}  // namespace obu
