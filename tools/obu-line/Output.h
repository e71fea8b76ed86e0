#pragma once
// What obu-line writes, and how: the two streams, names made safe for a
// terminal, and the forms that scripts read (--terse, --json).
#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace obu::line {

// The exit statuses, documented in --help and obu-line(1); scripts tell the
// cases apart by them.
enum Exit {
    kOk = 0,
    kFailed = 1,      // the service reported a failure (its code is on stderr)
    kUsage = 2,       // a command line that cannot be understood
    kNoSuch = 3,      // no such entry, or no connection to it
    kBusy = 4,        // the number was busy, or the modem or port is in use
    kPermission = 5,  // a file or folder of the service may not be used
};

enum class Format { Plain, Terse, Json };

QTextStream& out();
QTextStream& err();

// Names and values from the phone book, NetworkManager, the records and the
// devices' own words never reach the terminal raw: a control character in them
// would act on it (see printableText). What is dialled keeps the real name.
QString shown(const QString& text);
QString shown(const QByteArray& latin1);

// One line of --terse output: the fields shown, then ':' and '\' in them
// escaped by a backslash, joined by ':'.
QString terseLine(const QStringList& fields);

// A JSON document on standard output. Qt escapes the C0 controls; the other
// characters a terminal would act on (DEL, the C1 controls, the line
// separators and reordering marks) are written as \uXXXX as well, which JSON
// reads back as the same text.
void writeJson(const QJsonDocument& document);
QByteArray terminalSafeJson(const QByteArray& json);

// Flushes standard output; a write that failed (a full disk, a closed pipe
// end) is said on stderr and turns the exit status into kFailed.
int finish(int status);

}  // namespace obu::line
