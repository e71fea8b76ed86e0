#include "connection/TForm7.h"

namespace obu {

TForm7::TForm7(Program& program) : Form(program, QStringLiteral(" "), 200, 110) {}

}  // namespace obu
