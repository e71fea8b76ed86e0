#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

#include "dialup/DialUpService.h"
#include "dialup/modem/LineDevice.h"

namespace obu {

class SerialPort;
class UucpLock;

// What lies on either side of a serial modem's call: where the port comes
// from, and the PPP stage that takes the line over once the modem has said
// CONNECT. For a real modem the port is the entry's device and PPP is pppd;
// for the demo entries the port is a pseudo-terminal of the modem emulator,
// whose process also plays the PPP stage.
class ModemLink {
public:
    struct Event {
        CallState state;
        DialUpError error;  // 0: the stage was reached
    };
    enum class PortState { Pending, Ready, Failed };

    virtual ~ModemLink() = default;
    // Called until it gives Ready (path set) or Failed (error and detail set).
    virtual PortState port(QByteArray& path, DialUpError& error, QString& detail) = 0;
    // True when the port is one that this call made for itself (a
    // pseudo-terminal of our own): no other dialer knows it, so it takes no
    // UUCP lock, and nothing laid in the shared lock folder can keep it from
    // being used. A device named in the phone book is always locked.
    virtual bool portIsOurOwn() const { return false; }
    // Starts PPP on the connected line. lock is the device's lock (held or
    // not): a PPP program that locks the device itself gets it in its own name
    // before it runs. False with error and detail when it cannot start.
    virtual bool startPpp(SerialPort& port, UucpLock& lock, const LineRequest& request,
                          DialUpError& error, QString& detail) = 0;
    // The PPP stages reached, or the failure that ended them, since the last call.
    // detail receives the words of a failure.
    virtual void pollPpp(std::vector<Event>& events, QString& detail) = 0;
    // The process that holds the line once the PPP stage reported Connected.
    virtual LineHolder holder() const = 0;
    // The call ends before it was connected: stop what still runs.
    virtual void abandon() = 0;
    // The call is connected: the holder carries on by itself.
    virtual void release() = 0;
};

}  // namespace obu
