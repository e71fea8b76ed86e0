// Stand-in for the extras launcher, which has not been built yet: after a
// connection no web page or program is started.
#include "core/TForm1.h"

namespace obu {

void TForm1::LaunchExtras() {}

}  // namespace obu
