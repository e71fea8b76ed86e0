#include "dialup/phonebook/LineRecord.h"

#include <charconv>
#include <cstdio>

#include "dialup/phonebook/PhoneBook.h"

namespace obu {

namespace {

// Text values are percent-encoded so that no caller's text (a phone number
// with a line break in it) can break a record apart.
void appendText(QByteArray& out, QByteArrayView key, const QByteArray& value) {
    out.append(key).append('=').append(value.toPercentEncoding(" ()+,/:;@&'")).append('\n');
}

template <typename Number>
void appendNumber(QByteArray& out, QByteArrayView key, Number value) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(key).append('=').append(digits, end - digits).append('\n');
}

QByteArray decoded(QByteArrayView value) {
    return QByteArray::fromPercentEncoding(QByteArray::fromRawData(value.data(), value.size()));
}

// The text values by key; entry is cut to the longest name an entry may have.
struct TextField {
    const char* key;
    QByteArray LineRecord::*member;
};
constexpr TextField kTextFields[] = {
    {"entry", &LineRecord::entry},   {"phone", &LineRecord::phoneNumber},
    {"device", &LineRecord::device}, {"deviceType", &LineRecord::deviceType},
    {"user", &LineRecord::userName}, {"port", &LineRecord::port},
    {"detail", &LineRecord::detail}, {"holderKind", &LineRecord::holderKind},
    {"lock", &LineRecord::lockFile},
};

// One key=value line read into the record; false for a malformed number.
bool readField(QByteArrayView key, QByteArrayView value, LineRecord& r) {
    bool ok = true;
    if (key == "handle")
        r.handle = value.toUInt(&ok, 16);
    else if (key == "state")
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
    else if (key == "holder")
        r.holder = value.toLongLong(&ok);
    else if (key == "holderStart")
        r.holderStart = value.toULongLong(&ok);
    else
        for (const TextField& field : kTextFields)
            if (key == field.key) r.*field.member = decoded(value);
    r.entry.truncate(kMaxEntryName);
    return ok;
}

}  // namespace

QByteArray recordName(CallId handle) {
    char name[32];
    std::snprintf(name, sizeof name, "conn-%08X", handle);
    return name;
}

QByteArray recordText(const LineRecord& r) {
    QByteArray out;
    out.reserve(256 + 3 * (r.entry.size() + r.phoneNumber.size() + r.device.size() +
                           r.deviceType.size() + r.userName.size() + r.port.size() +
                           r.detail.size() + r.holderKind.size() + r.lockFile.size()));
    char handle[16];
    std::snprintf(handle, sizeof handle, "%08X", r.handle);
    out.append("handle=").append(handle).append('\n');
    appendNumber(out, "state", static_cast<std::uint32_t>(r.state));
    appendNumber(out, "error", r.error);
    appendNumber(out, "owner", r.owner);
    appendNumber(out, "ownerStart", r.ownerStart);
    appendNumber(out, "startedAt", r.startedAt);
    appendNumber(out, "connectedAt", r.connectedAt);
    appendNumber(out, "dropAt", r.dropAt);
    appendText(out, "entry", r.entry);
    appendText(out, "phone", r.phoneNumber);
    appendText(out, "device", r.device);
    appendText(out, "deviceType", r.deviceType);
    appendText(out, "user", r.userName);
    if (!r.port.isEmpty()) appendText(out, "port", r.port);
    if (!r.detail.isEmpty()) appendText(out, "detail", r.detail);
    if (r.holder) {
        appendNumber(out, "holder", r.holder);
        appendNumber(out, "holderStart", r.holderStart);
        appendText(out, "holderKind", r.holderKind);
        if (!r.lockFile.isEmpty()) appendText(out, "lock", r.lockFile);
    }
    return out;
}

bool parseRecordText(const QByteArray& text, LineRecord& r) {
    // Line by line in place: a record is read on every change of the
    // registry, and only the text values need copies of their own.
    QByteArrayView rest(text);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !readField(line.first(eq), line.sliced(eq + 1), r)) return false;
    }
    return r.handle != 0;
}

}  // namespace obu
