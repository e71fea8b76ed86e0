#pragma once
#include <QByteArray>
#include <QString>

namespace obu {

class LineService;

// Whether another program holds the modem of a phone-book entry, so that
// dialing it now could only fail.
class ModemCheck {
public:
    virtual ~ModemCheck() = default;
    virtual bool modemInUse(const QString& entryName, const QString& phoneBookPath) = 0;
};

// The modem is in use when a call of another process (dialing or connected)
// holds the entry's device in the service's registry, or when another live
// process holds the UUCP lock file of a serial device (/var/lock/LCK..ttyS0),
// which pppd, minicom and the other Linux dialers take.
class LineModemCheck : public ModemCheck {
public:
    explicit LineModemCheck(LineService& service, QString lockFolder = QStringLiteral("/var/lock"))
        : m_service(service), m_lockFolder(std::move(lockFolder)) {}
    bool modemInUse(const QString& entryName, const QString& phoneBookPath) override;

private:
    LineService& m_service;
    QString m_lockFolder;
};

}  // namespace obu
