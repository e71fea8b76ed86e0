#pragma once
#include "ui/Form.h"

namespace obu {

// The disconnect-timer dialog: minutes after which a connection is hung up.
class TForm7 : public Form {
    Q_OBJECT
public:
    explicit TForm7(Program& program);
};

}  // namespace obu
