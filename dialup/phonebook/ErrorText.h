#pragma once
#include "dialup/DialUpService.h"

namespace obu {

// The service's own text for a code, or nullptr when it has none. Every text
// is shorter than 100 characters: the status line shows them whole.
const char* dialUpErrorText(DialUpError code);

}  // namespace obu
