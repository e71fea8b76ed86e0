#pragma once
// The dial-up service as obu-line uses it, and its words for stages, handles
// and codes.
#include <QList>
#include <QString>
#include <QStringList>

#include "dialup/CombinedDialUpService.h"
#include "dialup/networkmanager/NetworkManagerService.h"
#include "dialup/phonebook/LineService.h"
#include "tools/obu-line/Output.h"

namespace obu::line {

// The phone book's service, NetworkManager's, and both as one.
struct Services {
    LineService& lines;
    NetworkManagerService& networkManager;
    CombinedDialUpService& all;
};

// What the command line asked for beyond the command itself.
struct Request {
    QString phoneBook;
    Format format = Format::Plain;
    QStringList words;  // the command's arguments
    // dial: how many of the words the command line gave (the others were stored).
    qsizetype wordsGiven = 0;
};

inline bool fromNetworkManager(CallId id) {
    return (id & NetworkManagerService::kIdBit) != 0;
}

// NetworkManager's connections that are entries, oldest first.
QList<CallInfo> networkManagerCalls(Services& s);

QString stageName(CallState state);
QString handleText(CallId handle);
bool sameEntry(const QByteArray& a, const QString& b);

// "error CODE: TEXT": the service's words when it is given (a NetworkManager
// failure has its own), else the phone book's.
QString codeText(DialUpError code, const DialUpService* words = nullptr);

// The exit status for a code of the service. A phone book that cannot be
// opened because it may not be read is a matter of permission.
int exitFor(DialUpError code, const QString& phoneBook = {});

// The exit status when the connection records cannot be read: the folder of
// another user, or one that may not be entered, is a matter of permission.
int recordsExit(const LineService& service);

// What the service knows beyond the code, on stderr.
void problemNote(const LineService& service, DialUpError code, const QString& phoneBookPath = {});

}  // namespace obu::line
