#include "core/PasswordCodec.h"

namespace obu {
namespace {
constexpr int kMaxLength = 255;
constexpr unsigned char kShift = 7;
constexpr unsigned char kStandInForZero = 7;
// The one code whose shifted form is 0.
constexpr unsigned char kCodeShiftedToZero = 249;
}  // namespace

QString EncodePassword(const QString& password) {
    QByteArray bytes = password.toLatin1().left(kMaxLength);
    for (char& c : bytes) {
        auto code = static_cast<unsigned char>(static_cast<unsigned char>(c) + kShift);
        if (code == 0) code = kStandInForZero;
        c = static_cast<char>(code);
    }
    return QString::fromLatin1(bytes);
}

QString DecodePassword(const QString& stored) {
    QByteArray bytes = stored.toLatin1().left(kMaxLength);
    for (char& c : bytes) {
        auto code = static_cast<unsigned char>(static_cast<unsigned char>(c) - kShift);
        if (code == 0) code = kCodeShiftedToZero;
        c = static_cast<char>(code);
    }
    return QString::fromLatin1(bytes);
}

}  // namespace obu
