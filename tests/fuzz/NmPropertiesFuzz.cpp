// Feeds the readers of NetworkManager's property maps (a profile's settings,
// an active connection's properties) values of any D-Bus type under any key,
// as a NetworkManager of another version could send them.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDBusObjectPath>
#include <cstddef>
#include <cstdint>

#include "dialup/networkmanager/NetworkManagerBus.h"
#include "dialup/networkmanager/NetworkManagerClient.h"
#include "tests/fuzz/Require.h"

using namespace obu;

namespace {

QString anyText(FuzzedDataProvider& in, std::size_t most = 48) {
    return QString::fromStdString(in.ConsumeRandomLengthString(most));
}

// An object path: "/" (NetworkManager's "none") or a few elements. The bus
// lets no other text through as an object path.
QDBusObjectPath anyPath(FuzzedDataProvider& in) {
    QString path;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        path += u'/';
        const std::string element = in.ConsumeRandomLengthString(8);
        for (const char c : element) path += QChar::isLetterOrNumber(c) ? QChar(c) : QChar(u'_');
        if (element.empty()) path += u'_';
    }
    return QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
}

QVariantMap anyMap(FuzzedDataProvider& in, const QStringList& keys, int depth);

QVariant anyValue(FuzzedDataProvider& in, int depth) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            return anyText(in);
        case 1:
            return QVariant::fromValue(in.ConsumeIntegral<std::uint32_t>());
        case 2:
            return in.ConsumeIntegral<int>();
        case 3:
            return in.ConsumeBool();
        case 4:
            return QVariant::fromValue(anyPath(in));
        case 5: {
            QList<QDBusObjectPath> paths;
            for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) paths << anyPath(in);
            return QVariant::fromValue(paths);
        }
        case 6: {
            QStringList texts;
            for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) texts << anyText(in);
            return texts;
        }
        case 7:
            return QByteArray::fromStdString(in.ConsumeRandomLengthString(32));
        case 8:
            return depth < 2 ? QVariant(anyMap(in, {}, depth + 1)) : QVariant();
        default:
            return {};
    }
}

// A map of a few entries, under the keys the readers look for or any other.
QVariantMap anyMap(FuzzedDataProvider& in, const QStringList& keys, int depth) {
    QVariantMap map;
    for (int n = in.ConsumeIntegralInRange(0, 6); n > 0 && in.remaining_bytes() > 0; --n) {
        const int pick = in.ConsumeIntegralInRange(0, static_cast<int>(keys.size()));
        const QString key = pick < keys.size() ? keys[pick] : anyText(in, 16);
        map.insert(key, anyValue(in, depth));
    }
    return map;
}

bool isText(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<QString>();
}

void checkProfile(FuzzedDataProvider& in) {
    QMap<QString, QVariantMap> settings;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        const QString group = in.ConsumeBool() ? QStringLiteral("connection") : anyText(in, 16);
        settings.insert(group, anyMap(in, {"id", "uuid", "type"}, 0));
    }
    const QString path = anyText(in);
    const NmProfile profile = nm_bus::profileOf(path, settings);
    require(profile.path == path, "a profile lost its path");
    const QVariantMap connection = settings.value(QStringLiteral("connection"));
    for (const auto& [key, read] : {std::pair{"id", profile.id}, std::pair{"uuid", profile.uuid},
                                    std::pair{"type", profile.type}}) {
        const QVariant given = connection.value(QString::fromLatin1(key));
        require(!isText(given) || given.toString() == read, "a profile's name was not read whole");
    }
}

void checkActive(FuzzedDataProvider& in) {
    const QVariantMap properties =
        anyMap(in, {"Connection", "Id", "Uuid", "Type", "Devices", "State"}, 0);
    NmActiveConnection active;
    active.id = QStringLiteral("before");
    active.profilePath = QStringLiteral("/before");
    active.devices = {QStringLiteral("/device")};
    nm_bus::readActive(active, properties);
    if (!properties.contains(QStringLiteral("Connection")))
        require(active.id == u"before" && active.profilePath == u"/before",
                "properties without a profile changed it");
    else if (isText(properties.value(QStringLiteral("Id"))))
        require(active.id == properties.value(QStringLiteral("Id")).toString(),
                "an active connection's name was not read whole");
    require(active.profilePath.isEmpty() || active.profilePath.startsWith(u'/'),
            "a profile path that is no object path");
    for (const QString& device : active.devices)
        require(device.startsWith(u'/'), "a device path that is no object path");
    if (!properties.contains(QStringLiteral("Devices")))
        require(active.devices == QStringList{QStringLiteral("/device")},
                "properties without devices changed them");
    // A map arrives as it is, whichever way it is wrapped.
    require(nm_bus::mapOf(QVariant(properties)) == properties, "a map changed on its way");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt warns of each malformed object path; those are expected here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        checkProfile(in);
    else
        checkActive(in);
    return 0;
}
