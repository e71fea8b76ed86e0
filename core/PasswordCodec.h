#pragma once
#include <QString>

namespace obu {

// The stored form of a password: each character code c becomes (c + 7) mod 256,
// on at most 255 single-byte characters. There is no key and no marker; an
// empty password is stored as an empty value.
//
// Code 249 would become 0, which cannot live in a line of text. It is stored
// as code 7 instead: 7 is what code 0 would become, and a password can never
// hold code 0, so the stored 7 is unambiguous and decodes back to 249.
// Characters outside Latin-1 cannot be stored and become '?'.
QString EncodePassword(const QString& password);
QString DecodePassword(const QString& stored);

}  // namespace obu
