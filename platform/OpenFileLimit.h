#pragma once

namespace obu {

// Raises the soft limit of open files to the hard one. The dial-up service
// keeps a descriptor for every process behind another program's call; under
// a low soft limit a crowded registry would run out of them. False when the
// limit could not be raised.
bool raiseOpenFileLimit();

}  // namespace obu
