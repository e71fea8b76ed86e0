#include "ui/TForm3.h"

namespace obu {

TForm3::TForm3(Program& program) : Form(program, QStringLiteral(""), 305, 398) {}

}  // namespace obu
