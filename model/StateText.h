#pragma once
#include <QString>

#include "ras/RasApi.h"

namespace obu {

// The main window's text for a connection state and error code: the
// service's description of a non-zero error, else the state's own text.
QString StateText(RasApi& ras, DWORD state, DWORD error);

}  // namespace obu
