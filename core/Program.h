#pragma once
#include <memory>

#include "core/Application.h"

namespace obu {

struct Platform;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm7;
class TForm8;

// The running program: the application object and its seven windows, made in
// their fixed order (the splash window first, so it is the main form) and
// destroyed in the reverse order, so that the main window saves its settings
// while the tray menu still exists.
class Program {
public:
    explicit Program(Platform& platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Platform& platform() const { return platform_; }
    obu::Application& application() { return application_; }

    TForm2* Form2 = nullptr;
    TForm1* Form1 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;
    TForm3* Form3 = nullptr;
    TForm7* Form7 = nullptr;
    TForm8* Form8 = nullptr;

private:
    Platform& platform_;
    obu::Application application_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<TForm8> form8_;
};

}  // namespace obu
