#pragma once
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "dialup/modem/ModemLink.h"
#include "dialup/modem/Processes.h"

namespace obu {

// A real modem's link: the port is the entry's device, and after CONNECT pppd
// runs on the line that the modem has already connected (no second dial, no
// connect script), as our child with its messages on a pipe.
//
// The account reaches pppd through "+ua /dev/fd/3": descriptor 3 is a pipe
// that holds the user name and the password, one a line, written before pppd
// starts and closed, so neither is ever on a command line or in a file.
//
// pppd's messages give the stages: "PAP/CHAP authentication succeeded" is
// Authenticated, the local and remote IP addresses are Projected and then
// Connected. pppd's exit status before that is the failure (pppdExitError).
class PppdLink : public ModemLink {
public:
    explicit PppdLink(QByteArray device);
    ~PppdLink() override;

    PortState port(QByteArray& path, DialUpError& error, QString& detail) override;
    bool startPpp(SerialPort& port, UucpLock& lock, const LineRequest& request, DialUpError& error,
                  QString& detail) override;
    void pollPpp(std::vector<Event>& events, QString& detail) override;
    LineHolder holder() const override;
    void abandon() override;
    void release() override;

    // pppd's program: $OBU_PPPD when set, else /usr/sbin/pppd, else pppd on the PATH.
    static QByteArray program();
    // The arguments after the program's name for a call on device.
    static QList<QByteArray> arguments(const PhoneBookEntry& entry, const QByteArray& device,
                                       CallId handle);
    // What pppd reads from its descriptor 3: the user name and the password.
    static QByteArray accountText(const QByteArray& user, const QByteArray& password);
    // The service's code for pppd's exit status (0-21 as pppd documents them).
    static DialUpError exitError(int exitStatus);
    // What that exit status means, in words.
    static QString exitText(int exitStatus);
    // Whether pppd ended an up link because the entry's own options said so
    // (idle, connect-time or traffic limit).
    static bool endedByOwnLimit(int exitStatus) {
        return exitStatus == 12 || exitStatus == 13 || exitStatus == 20;
    }
    // The stage that a line of pppd's output brings, if any.
    std::optional<CallState> stageOfLine(const QByteArray& line);

    pid_t pid() const { return m_pid; }

private:
    QByteArray m_device;
    pid_t m_pid = -1;
    ProcessId m_process;
    int m_output = -1;
    QByteArray m_pending;
    QByteArray m_lastError;
    bool m_authenticated = false;
    bool m_haveLocal = false;
    bool m_haveRemote = false;
    bool m_connected = false;
    bool m_ended = false;
    bool m_announced = false;
    CallState m_stage = CallState::Authenticate;
};

}  // namespace obu
