#pragma once

namespace obu::line {

// obu-line --help.
extern const char* const kHelp;

}  // namespace obu::line
