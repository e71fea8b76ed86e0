#include "tools/obu-line/Service.h"

#include <unistd.h>

#include <QFileInfo>

#include "dialup/phonebook/ErrorText.h"
#include "tools/obu-line/Output.h"

namespace obu::line {

QList<CallInfo> networkManagerCalls(Services& s) {
    QList<CallInfo> calls;
    s.networkManager.calls(&calls);
    return calls;
}

QString stageName(CallState state) {
    switch (state) {
        case CallState::OpenPort:
            return QStringLiteral("Opening port");
        case CallState::PortOpened:
            return QStringLiteral("Port opened");
        case CallState::ConnectDevice:
            return QStringLiteral("Connecting device");
        case CallState::DeviceConnected:
            return QStringLiteral("Device connected");
        case CallState::AllDevicesConnected:
            return QStringLiteral("All devices connected");
        case CallState::Authenticate:
            return QStringLiteral("Authenticating");
        case CallState::Authenticated:
            return QStringLiteral("Authenticated");
        case CallState::Projected:
            return QStringLiteral("Projected");
        case CallState::Connected:
            return QStringLiteral("Connected");
        case CallState::Disconnected:
            return QStringLiteral("Disconnected");
        default:
            return QStringLiteral("State %1").arg(static_cast<std::uint32_t>(state));
    }
}

QString handleText(CallId handle) {
    return QStringLiteral("0x%1")
        .arg(handle, 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

bool sameEntry(const QByteArray& a, const QString& b) {
    return QString::fromLatin1(a).compare(b, Qt::CaseInsensitive) == 0;
}

QString codeText(DialUpError code, const DialUpService* words) {
    QString text = words ? words->errorText(code) : QString();
    if (text.isEmpty() && dialUpErrorText(code)) text = QString::fromLatin1(dialUpErrorText(code));
    if (text.isEmpty()) text = QStringLiteral("(no text for this code)");
    return QStringLiteral("error %1: %2").arg(code).arg(text);
}

int exitFor(DialUpError code, const QString& phoneBook) {
    switch (code) {
        case dialup_error::CannotOpenPhoneBook:
        case dialup_error::CannotLoadPhoneBook: {
            const QFileInfo file(phoneBook);
            return file.exists() && !file.isReadable() ? kPermission : kFailed;
        }
        case dialup_error::None:
            return kOk;
        case dialup_error::CannotFindEntry:
            return kNoSuch;
        case dialup_error::LineBusy:
        case dialup_error::PortNotAvailable:
            return kBusy;
        case dialup_error::AccessDenied:
            return kPermission;
        default:
            return kFailed;
    }
}

int recordsExit(const LineService& service) {
    const QFileInfo folder(service.paths().linesDir);
    if (folder.isDir() && !folder.isSymLink() &&
        (folder.ownerId() != ::getuid() || !folder.isExecutable()))
        return kPermission;
    return kFailed;
}

void problemNote(const LineService& service, DialUpError code, const QString& phoneBookPath) {
    if (code == dialup_error::Unknown && !service.problem().isEmpty())
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
    if (code == dialup_error::CannotOpenPhoneBook || code == dialup_error::CannotLoadPhoneBook) {
        const QString why = service.phoneBook(phoneBookPath).problem;
        if (!why.isEmpty()) err() << "obu-line: " << shown(why) << Qt::endl;
    }
}

}  // namespace obu::line
