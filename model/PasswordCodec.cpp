#include "model/PasswordCodec.h"

namespace obu {
namespace {

constexpr int kMaxLength = 255;
constexpr unsigned char kShift = 7;
// Starts the pair that carries a shifted byte a line cannot hold.
constexpr char kEscape = 7;
constexpr unsigned char kEscapeOffset = 64;

bool unstorable(unsigned char shifted) {
    return shifted == 0 || shifted == '\n' || shifted == '\r';
}

}  // namespace

QString encodePassword(const QString& password) {
    const QByteArray plain = password.toLatin1().left(kMaxLength);
    QByteArray stored;
    stored.reserve(plain.size());
    for (char c : plain) {
        const auto shifted = static_cast<unsigned char>(static_cast<unsigned char>(c) + kShift);
        if (unstorable(shifted)) {
            stored.append(kEscape);
            stored.append(static_cast<char>(shifted + kEscapeOffset));
        } else {
            stored.append(static_cast<char>(shifted));
        }
    }
    return QString::fromLatin1(stored);
}

QString decodePassword(const QString& stored) {
    const QByteArray bytes = stored.toLatin1();
    QByteArray plain;
    for (qsizetype i = 0; i < bytes.size() && plain.size() < kMaxLength; ++i) {
        auto shifted = static_cast<unsigned char>(bytes[i]);
        if (bytes[i] == kEscape) {
            if (i + 1 >= bytes.size()) break;  // a damaged pair at the end carries nothing
            shifted =
                static_cast<unsigned char>(static_cast<unsigned char>(bytes[++i]) - kEscapeOffset);
        }
        plain.append(static_cast<char>(static_cast<unsigned char>(shifted - kShift)));
    }
    return QString::fromLatin1(plain);
}

}  // namespace obu
