#pragma once
#include "tools/obu-line/Service.h"

namespace obu::line {

// keeper status|connect|disconnect: the running keeper (obu) asked or told
// through its interface on the session bus. Returns the exit status.
int keeperCommand(const Request& request);

}  // namespace obu::line
