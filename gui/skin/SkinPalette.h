#pragma once
#include <QPalette>

namespace obu {

// The colours the skin's artwork was drawn for: dark text on light panels,
// light fields with black text. The program's windows keep them under any
// desktop colour scheme, or a dark scheme's white text would vanish on the
// skin's light panels; message boxes and file dialogs, which carry no
// artwork, follow the desktop.
QPalette skinPalette();

}  // namespace obu
