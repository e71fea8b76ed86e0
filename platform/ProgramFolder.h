#pragma once
#include <QString>

namespace obu {

// The folder of the running executable, with a trailing '/': obu.ini, log.txt,
// help.hlp and the sounds live there. The current directory plays no part.
QString executableFolder();

}  // namespace obu
