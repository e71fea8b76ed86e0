#pragma once
#include "ui/Form.h"

namespace obu {

// The extras editor: names and addresses of the four web pages and four programs.
class TForm4 : public Form {
    Q_OBJECT
public:
    explicit TForm4(Program& program);
};

}  // namespace obu
