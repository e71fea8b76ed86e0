#pragma once
#include <QString>
#include <QStringView>

namespace obu {

// A name or value that came from outside the program (a phone book, a
// NetworkManager profile, a connection record, a modem's or pppd's words) as it
// may be shown on a terminal, in log.txt or on the status line. A terminal acts
// on control characters: ESC and CSI (U+009B) start sequences that recolour
// it, retitle its window or answer back, and a line break or tab forges a
// second line or column. These are written as escapes instead: \t \n \r for
// those three, \xHH for the other C0 controls, DEL and the C1 controls, \uHHHH
// for the Unicode line and paragraph separators and the marks that reorder
// text on the screen. Everything else is left as it is, the text itself is
// never changed elsewhere: an entry is still dialled by its real name.
QString printableText(QStringView text);

// True when printableText would change the text.
bool needsEscaping(QStringView text);

}  // namespace obu
