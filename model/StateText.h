#pragma once
#include <QString>

#include "dialup/DialUpService.h"

namespace obu {

// The main window's text for a connection state and error code: the
// service's description of a non-zero error, else the state's own text.
QString stateText(const DialUpService& service, CallState state, DialUpError error);

}  // namespace obu
