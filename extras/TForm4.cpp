#include "extras/TForm4.h"

namespace obu {

TForm4::TForm4(Program& program) : Form(program, QStringLiteral("Edit Extras"), 464, 215) {}

}  // namespace obu
