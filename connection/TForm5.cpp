#include "connection/TForm5.h"

namespace obu {

TForm5::TForm5(Program& program) : Form(program, QStringLiteral("Reconnect"), 204, 146) {}

}  // namespace obu
