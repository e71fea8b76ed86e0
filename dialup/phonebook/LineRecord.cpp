#include "dialup/phonebook/LineRecord.h"

#include <cstdio>

#include "dialup/phonebook/PhoneBook.h"

namespace obu {

namespace {

// Text values are percent-encoded so that no caller's text (a phone number
// with a line break in it) can break a record apart.
QByteArray encodeValue(const QByteArray& value) {
    return value.toPercentEncoding(" ()+,/:;@&'");
}

}  // namespace

QByteArray recordName(CallId handle) {
    char name[32];
    std::snprintf(name, sizeof name, "conn-%08X", handle);
    return name;
}

QByteArray recordText(const LineRecord& r) {
    QByteArray out;
    out += "handle=" + QByteArray::number(r.handle, 16).rightJustified(8, '0').toUpper() + '\n';
    out += "state=" + QByteArray::number(static_cast<std::uint32_t>(r.state)) + '\n';
    out += "error=" + QByteArray::number(r.error) + '\n';
    out += "owner=" + QByteArray::number(r.owner) + '\n';
    out += "ownerStart=" + QByteArray::number(static_cast<qulonglong>(r.ownerStart)) + '\n';
    out += "startedAt=" + QByteArray::number(r.startedAt) + '\n';
    out += "connectedAt=" + QByteArray::number(r.connectedAt) + '\n';
    out += "dropAt=" + QByteArray::number(r.dropAt) + '\n';
    out += "entry=" + encodeValue(r.entry) + '\n';
    out += "phone=" + encodeValue(r.phoneNumber) + '\n';
    out += "device=" + encodeValue(r.device) + '\n';
    out += "deviceType=" + encodeValue(r.deviceType) + '\n';
    out += "user=" + encodeValue(r.userName) + '\n';
    if (!r.port.isEmpty()) out += "port=" + encodeValue(r.port) + '\n';
    if (!r.detail.isEmpty()) out += "detail=" + encodeValue(r.detail) + '\n';
    if (r.holder) {
        out += "holder=" + QByteArray::number(r.holder) + '\n';
        out += "holderStart=" + QByteArray::number(static_cast<qulonglong>(r.holderStart)) + '\n';
        out += "holderKind=" + encodeValue(r.holderKind) + '\n';
        if (!r.lockFile.isEmpty()) out += "lock=" + encodeValue(r.lockFile) + '\n';
    }
    return out;
}

bool parseRecordText(const QByteArray& text, LineRecord& r) {
    bool haveHandle = false;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        bool ok = true;
        if (key == "handle") {
            r.handle = value.toUInt(&ok, 16);
            haveHandle = ok && r.handle != 0;
        } else if (key == "state")
            r.state = static_cast<CallState>(value.toUInt(&ok));
        else if (key == "error")
            r.error = value.toUInt(&ok);
        else if (key == "owner")
            r.owner = value.toLongLong(&ok);
        else if (key == "ownerStart")
            r.ownerStart = value.toULongLong(&ok);
        else if (key == "startedAt")
            r.startedAt = value.toLongLong(&ok);
        else if (key == "connectedAt")
            r.connectedAt = value.toLongLong(&ok);
        else if (key == "dropAt")
            r.dropAt = value.toLongLong(&ok);
        else if (key == "entry")
            r.entry = QByteArray::fromPercentEncoding(value).left(kMaxEntryName);
        else if (key == "phone")
            r.phoneNumber = QByteArray::fromPercentEncoding(value);
        else if (key == "device")
            r.device = QByteArray::fromPercentEncoding(value);
        else if (key == "deviceType")
            r.deviceType = QByteArray::fromPercentEncoding(value);
        else if (key == "user")
            r.userName = QByteArray::fromPercentEncoding(value);
        else if (key == "port")
            r.port = QByteArray::fromPercentEncoding(value);
        else if (key == "detail")
            r.detail = QByteArray::fromPercentEncoding(value);
        else if (key == "holder")
            r.holder = value.toLongLong(&ok);
        else if (key == "holderStart")
            r.holderStart = value.toULongLong(&ok);
        else if (key == "holderKind")
            r.holderKind = QByteArray::fromPercentEncoding(value);
        else if (key == "lock")
            r.lockFile = QByteArray::fromPercentEncoding(value);
        if (!ok) return false;
    }
    return haveHandle;
}

}  // namespace obu
