// Stand-in for the alarm and connection settings panel, which has not been
// built yet: the connection page cannot open, so this only brings the main
// window forward where the panel will be.
#include "core/TForm1.h"

namespace obu {

void TForm1::Image14Click(QObject*) {
    setWindowState(TWindowState::wsNormal);
    BringToFront();
}

}  // namespace obu
