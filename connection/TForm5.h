#pragma once
#include "ui/Form.h"

namespace obu {

// The reconnect countdown shown after a connection was dropped from outside.
class TForm5 : public Form {
    Q_OBJECT
public:
    explicit TForm5(Program& program);
};

}  // namespace obu
