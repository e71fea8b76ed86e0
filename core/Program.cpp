#include "core/Program.h"

#include "connection/TForm5.h"
#include "connection/TForm7.h"
#include "connection/TForm8.h"
#include "core/TForm1.h"
#include "extras/TForm4.h"
#include "platform/Dispatcher.h"
#include "platform/Platform.h"
#include "shell/TForm2.h"
#include "ui/TForm3.h"

namespace obu {

Program::Program(Platform& platform) : platform_(platform) {
    platform_.dispatcher->setApplicationTitle(application_.Title);
    form2_ = std::make_unique<TForm2>(*this);
    Form2 = form2_.get();
    form1_ = std::make_unique<TForm1>(*this);
    Form1 = form1_.get();
    form4_ = std::make_unique<TForm4>(*this);
    Form4 = form4_.get();
    form5_ = std::make_unique<TForm5>(*this);
    Form5 = form5_.get();
    form3_ = std::make_unique<TForm3>(*this);
    Form3 = form3_.get();
    form7_ = std::make_unique<TForm7>(*this);
    Form7 = form7_.get();
    form8_ = std::make_unique<TForm8>(*this);
    Form8 = form8_.get();
}

Program::~Program() {
    form8_.reset();
    Form8 = nullptr;
    form7_.reset();
    Form7 = nullptr;
    form3_.reset();
    Form3 = nullptr;
    form5_.reset();
    Form5 = nullptr;
    form4_.reset();
    Form4 = nullptr;
    form1_.reset();
    Form1 = nullptr;
    form2_.reset();
    Form2 = nullptr;
}

}  // namespace obu
