// obu-line entries and connections, as a table for people or in the forms
// that scripts read.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <vector>

#include "tools/obu-line/Commands.h"

namespace obu::line {

namespace {

void sayHidden(Services& s) {
    QObject::connect(&s.all, &CombinedDialUpService::entryHidden, qApp,
                     [](const QString& name, const QString& source) {
                         err() << "obu-line: the " << shown(source) << " connection \""
                               << shown(name)
                               << "\" is hidden by the phone book's entry of the same name"
                               << Qt::endl;
                     });
}

void writeEntries(const QList<EntryInfo>& entries, Format format) {
    if (format == Format::Json) {
        QJsonArray list;
        for (const EntryInfo& e : entries)
            list.append(QJsonObject{{QStringLiteral("name"), e.name},
                                    {QStringLiteral("source"), e.source}});
        writeJson(QJsonDocument(list));
        return;
    }
    for (const EntryInfo& e : entries) {
        if (format == Format::Terse)
            out() << terseLine({e.name, e.source}) << '\n';
        else
            out() << shown(e.name) << '\t' << shown(e.source) << '\n';
    }
}

}  // namespace

int listEntries(Services& s, const Request& request) {
    LineService& service = s.lines;
    sayHidden(s);
    QList<EntryInfo> entries;
    const DialUpError result = s.all.entries(request.phoneBook, &entries);
    const QString shownPath =
        shown(request.phoneBook.isEmpty() ? service.paths().phoneBook : request.phoneBook);
    if (result != dialup_error::None) {
        err() << "obu-line: cannot list the entries of " << shownPath << ": " << codeText(result)
              << Qt::endl;
        problemNote(service, result, request.phoneBook);
        return exitFor(result,
                       request.phoneBook.isEmpty() ? service.paths().phoneBook : request.phoneBook);
    }
    if (request.phoneBook.isEmpty() && service.phoneBook().source == PhoneBook::Source::Demo)
        err() << "obu-line: no phone book at " << shownPath << "; the demo phone book serves"
              << Qt::endl;
    if (entries.isEmpty())
        err() << "obu-line: the phone book " << shownPath << " has no entries" << Qt::endl;
    writeEntries(entries, request.format);
    return kOk;
}

namespace {

// One connection as every form shows it.
struct Row {
    QString entry;
    QString source;  // "phone book" or "NetworkManager", as entries says
    bool connected = false;
    QString stage;
    QString device;
    QString deviceType;
    QString port;
    CallId handle = 0;
    QString holderKind;
    qint64 holder = 0;
};

std::vector<Row> rows(Services& s, const std::vector<LineRecord>& lines) {
    std::vector<Row> all;
    all.reserve(lines.size());
    for (const LineRecord& r : lines) {
        all.push_back({QString::fromLatin1(r.entry), QStringLiteral("phone book"), r.established(),
                       stageName(r.state), QString::fromLatin1(r.device),
                       QString::fromLatin1(r.deviceType), QString::fromLocal8Bit(r.port), r.handle,
                       QString::fromLatin1(r.holderKind), r.holder});
    }
    for (const CallInfo& c : networkManagerCalls(s)) {
        all.push_back({c.entry, QStringLiteral("NetworkManager"), c.state == CallState::Connected,
                       stageName(c.state), c.deviceName, c.deviceType, QString(), c.id, QString(),
                       0});
    }
    return all;
}

QJsonObject jsonRow(const Row& r) {
    QJsonObject o{{QStringLiteral("entry"), r.entry},
                  {QStringLiteral("source"), r.source},
                  {QStringLiteral("state"),
                   r.connected ? QStringLiteral("connected") : QStringLiteral("dialing")},
                  {QStringLiteral("stage"), r.stage},
                  {QStringLiteral("device"), r.device},
                  {QStringLiteral("deviceType"), r.deviceType},
                  {QStringLiteral("handle"), handleText(r.handle)}};
    o.insert(QStringLiteral("port"), r.port.isEmpty() ? QJsonValue() : QJsonValue(r.port));
    o.insert(QStringLiteral("holder"),
             r.holder > 0 ? QJsonValue(QJsonObject{{QStringLiteral("kind"), r.holderKind},
                                                   {QStringLiteral("pid"), r.holder}})
                          : QJsonValue());
    return o;
}

void writePlain(const std::vector<Row>& all) {
    if (all.empty()) {
        out() << "No connections." << '\n';
        return;
    }
    int width = 5;
    for (const Row& r : all) width = std::max<int>(width, shown(r.entry).size());
    out() << QStringLiteral("ENTRY").leftJustified(width + 2)
          << QStringLiteral("STATE").leftJustified(30) << "DEVICE" << '\n';
    for (const Row& r : all) {
        const QString state =
            r.connected ? QStringLiteral("Connected") : QStringLiteral("Dialing: ") + r.stage;
        QString device = shown(r.device);
        if (!r.port.isEmpty() && r.port != r.device)
            device += QStringLiteral(" on ") + shown(r.port);
        out() << shown(r.entry).leftJustified(width + 2) << state.leftJustified(30) << device
              << " (" << shown(r.deviceType) << "), handle " << handleText(r.handle);
        if (r.holder > 0)
            out() << ", held by " << shown(r.holderKind) << " (pid " << r.holder << ")";
        out() << '\n';
    }
}

}  // namespace

int listConnections(Services& s, const Request& request) {
    LineService& service = s.lines;
    const std::vector<LineRecord> lines = service.lines();
    const std::vector<Row> all = rows(s, lines);
    if (lines.empty() && !service.problem().isEmpty()) {
        err() << "obu-line: " << shown(service.problem()) << Qt::endl;
        return recordsExit(service);
    }
    if (request.format == Format::Json) {
        QJsonArray list;
        for (const Row& r : all) list.append(jsonRow(r));
        writeJson(QJsonDocument(list));
    } else if (request.format == Format::Terse) {
        for (const Row& r : all) {
            out() << terseLine(
                         {r.entry,
                          r.connected ? QStringLiteral("connected") : QStringLiteral("dialing"),
                          r.stage, r.device, r.deviceType, r.port, handleText(r.handle), r.source,
                          r.holderKind, r.holder > 0 ? QString::number(r.holder) : QString()})
                  << '\n';
        }
    } else {
        writePlain(all);
    }
    return kOk;
}

}  // namespace obu::line
