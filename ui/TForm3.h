#pragma once
#include "ui/Form.h"

namespace obu {

// The credits screen: a borderless black window that scrolls the team's roles.
class TForm3 : public Form {
    Q_OBJECT
public:
    explicit TForm3(Program& program);
};

}  // namespace obu
