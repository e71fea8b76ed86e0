#pragma once
#include <QString>

namespace obu {

// The stored form of a password: each character code c becomes (c + 7) mod 256,
// on at most 255 single-byte characters. There is no key and no marker; an
// empty password is stored as an empty value.
//
// Three codes would become bytes that a line of text cannot hold: 249 (→ 0),
// 3 (→ LF) and 6 (→ CR). Their shifted byte b is stored as the pair
// 7, b + 64 ("\a@", "\aJ", "\aM"). Byte 7 is what code 0 would become, and a
// password can never hold code 0, so no stored password contains it and the
// pair cannot be misread. Every other password keeps the plain shift by 7,
// so settings files already in use read as before. Characters outside Latin-1
// cannot be stored and become '?'.
QString encodePassword(const QString& password);
QString decodePassword(const QString& stored);

}  // namespace obu
