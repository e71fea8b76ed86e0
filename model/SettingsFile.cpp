#include "model/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/Errors.h"
#include "platform/IniFileProfile.h"
#include "platform/Profile.h"

namespace obu {

QString SettingsFile::readProblem() const {
    const QByteArray native = QFile::encodeName(m_path);
    QString why;
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT) return {};
        why = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        why = QStringLiteral("it is not a file");
    } else if (st.st_size > IniFileProfile::kMaxFileSize) {
        why = QStringLiteral("it is larger than %1 MB")
                  .arg(IniFileProfile::kMaxFileSize / (qint64{1024} * 1024));
    } else if (::access(native.constData(), R_OK) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
    } else {
        return {};
    }
    return QStringLiteral(
               "Unable to read %1 (%2); the settings start from their defaults and are not saved")
        .arg(m_path, why);
}

QString SettingsFile::readString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    return QString::fromLatin1(
        m_profile.readString(m_path, section.toLatin1(), key.toLatin1(), defaultValue.toLatin1()));
}

bool SettingsFile::parseInteger(const QString& input, int& out) {
    QString text = input;
    // The "0x" form is turned into the '$' form that the number reader knows.
    if (text.size() > 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X')))
        text = QLatin1Char('$') + text.mid(2);
    int i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        hex = true;
        ++i;
    }
    if (i >= text.size()) return false;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? QStringLiteral("0123456789abcdef").indexOf(text[i].toLower())
                              : (text[i].isDigit() ? text[i].digitValue() : -1);
        if (digit < 0) return false;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        // Hexadecimal takes up to 32 bits and wraps into the sign; decimal must fit.
        if (hex ? value > 0xFFFFFFFFull : value > 0x80000000ull) return false;
    }
    if (hex) {
        const auto bits = static_cast<std::uint32_t>(value);
        const auto signedValue = static_cast<std::int32_t>(bits);
        out = negative ? -signedValue : signedValue;
        return true;
    }
    if (!negative && value > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        return false;
    out = negative ? static_cast<int>(-static_cast<std::int64_t>(value)) : static_cast<int>(value);
    return true;
}

int SettingsFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    int value = 0;
    if (!parseInteger(readString(section, key, QString()), value)) return defaultValue;
    return value;
}

bool SettingsFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value) {
    if (!m_profile.writeString(m_path, section.toLatin1(), key.toLatin1(), value.toLatin1()))
        throw WriteError(m_path);
}

void SettingsFile::write(const Changes& changes) {
    if (!m_profile.writeStrings(m_path, changes.m_list)) throw WriteError(m_path);
}

void SettingsFile::Changes::writeString(const QString& section, const QString& key,
                                        const QString& value) {
    m_list.push_back({section.toLatin1(), key.toLatin1(), value.toLatin1()});
}

void SettingsFile::Changes::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void SettingsFile::Changes::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace obu
