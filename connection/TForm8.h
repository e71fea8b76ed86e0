#pragma once
#include "ui/Form.h"

namespace obu {

// The disconnect countdown shown thirty seconds before the hang-up.
class TForm8 : public Form {
    Q_OBJECT
public:
    explicit TForm8(Program& program);
};

}  // namespace obu
