#include "connection/TForm8.h"

namespace obu {

TForm8::TForm8(Program& program) : Form(program, QStringLiteral(" "), 180, 120) {}

}  // namespace obu
