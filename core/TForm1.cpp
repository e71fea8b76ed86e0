#include "core/TForm1.h"

#include "core/Program.h"
#include "platform/Platform.h"

namespace obu {

TForm1::TForm1(Program& program)
    : Form(program, QStringLiteral("Obu Linekeeper v1.3"), 452 - kFrameWidth, 243 - kFrameHeight),
      Timer1(*program.platform().loop, 1000),
      Timer2(*program.platform().loop, 1000),
      Timer3(*program.platform().loop, 1),
      Timer4(*program.platform().loop, 1000),
      Timer6(*program.platform().loop, 1),
      tm_dis(*program.platform().loop, 500),
      dtimer(*program.platform().loop, 1000) {
    // A fixed border with a system menu and a minimize box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    buildControls();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::setWidth(int outerWidth) { setFixedWidth(outerWidth - kFrameWidth); }

void TForm1::setOuterSize(int outerWidth, int outerHeight) {
    setFixedSize(outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

void TForm1::buildControls() {
    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(x, y, w, h);
        l->setAttribute(Qt::WA_TranslucentBackground);
        return l;
    };
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("(none)"), 192, 102, 217, 15);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label12 = label(QStringLiteral("Label12"), QStringLiteral("(not set)"), 200, 62, 201, 15);
    Label12->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label18 = label(QStringLiteral("Label18"), QString(), 0, 0, 180, 80);
    Label18->setWordWrap(true);
    Label18->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label18->hide();
    Status = label(QStringLiteral("Status"), QStringLiteral("Status:"), 8, 192, 40, 15);
    Status2 = label(QStringLiteral("Status2"), QString(), 50, 192, 290, 15);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(470, 40, 97, 28);
    ListBox1->hide();
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(470, 93, 97, 20);
    Edit1->hide();
    MaskEdit1 = new QLineEdit(this);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setGeometry(470, 136, 97, 20);
    MaskEdit1->setEchoMode(QLineEdit::Password);
    MaskEdit1->hide();
}

}  // namespace obu
