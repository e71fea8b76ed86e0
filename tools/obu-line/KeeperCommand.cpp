#include "tools/obu-line/KeeperCommand.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDateTime>
#include <QJsonObject>

#include "platform/CommandLineUsage.h"
#include "tools/obu-line/Output.h"

namespace obu::line {
namespace {

const char kService[] = "org.obu.Linekeeper1";
const char kPath[] = "/org/obu/Linekeeper1";

int printStatus(const QDBusConnection& bus, Format format) {
    // Every property in one call, so the fields belong together.
    QDBusInterface properties{QLatin1String(kService), QLatin1String(kPath),
                              QStringLiteral("org.freedesktop.DBus.Properties"), bus};
    const QDBusReply<QVariantMap> reply =
        properties.call(QStringLiteral("GetAll"), QLatin1String(kService));
    if (!reply.isValid()) {
        err() << "obu-line: keeper: " << reply.error().message() << Qt::endl;
        return kFailed;
    }
    const QVariantMap all = reply.value();
    const QString entry = all.value(QStringLiteral("Entry")).toString();
    const QString state = all.value(QStringLiteral("State")).toString();
    const qlonglong since = all.value(QStringLiteral("Since")).toLongLong();
    const int reconnect = all.value(QStringLiteral("ReconnectSeconds")).toInt();
    const QString alarm = all.value(QStringLiteral("Alarm")).toString();
    if (format == Format::Json) {
        writeJson(QJsonDocument(QJsonObject{{QStringLiteral("entry"), entry},
                                            {QStringLiteral("state"), state},
                                            {QStringLiteral("since"), since},
                                            {QStringLiteral("reconnectSeconds"), reconnect},
                                            {QStringLiteral("alarm"), alarm}}));
    } else if (format == Format::Terse) {
        out() << terseLine(
                     {entry, state, QString::number(since), QString::number(reconnect), alarm})
              << '\n';
    } else {
        out() << "Entry: " << shown(entry) << '\n'
              << "State: " << state << '\n'
              << "Since: " << QDateTime::fromSecsSinceEpoch(since).toString(Qt::ISODate) << " ("
              << since << ")\n"
              << "Reconnect in: " << reconnect << " s\n"
              << "Alarm: " << shown(alarm) << '\n';
    }
    return kOk;
}

}  // namespace

int keeperCommand(const Request& request) {
    const QString what = request.words.value(0);
    if (request.words.size() != 1 ||
        (what != QLatin1String("status") && what != QLatin1String("connect") &&
         what != QLatin1String("disconnect")))
        return cli::usageError("obu-line",
                               QStringLiteral("keeper takes one of status, connect, disconnect"));
    if (request.format != Format::Plain && what != QLatin1String("status"))
        return cli::usageError("obu-line", QStringLiteral("--terse and --json belong to "
                                                          "entries, connections, history and "
                                                          "keeper status"));
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err() << "obu-line: keeper: no session bus" << Qt::endl;
        return kFailed;
    }
    QDBusInterface keeper{QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                          bus};
    if (!keeper.isValid()) {
        err() << "obu-line: keeper: no Obu Linekeeper runs on the session bus" << Qt::endl;
        return kFailed;
    }
    if (what == QLatin1String("status")) return printStatus(bus, request.format);
    const QDBusMessage reply =
        keeper.call(what == QLatin1String("connect") ? QStringLiteral("Connect")
                                                     : QStringLiteral("Disconnect"));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        err() << "obu-line: keeper " << what << ": " << reply.errorMessage() << Qt::endl;
        return kFailed;
    }
    return kOk;
}

}  // namespace obu::line
