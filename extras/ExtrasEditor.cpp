#include "extras/ExtrasEditor.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "core/MainWindow.h"
#include "core/Program.h"
#include "extras/MouseHooks.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "ui/JpegImage.h"

namespace obu {
namespace {

constexpr std::array<int, 4> kRowTops{72, 96, 120, 144};
const QPoint kArrowPlace(72, 168);
const QPoint kOkPlace(296, 171);
const QPoint kCancelPlace(336, 171);
// The page arrows are Unicode arrows, drawn in a font that has them.
const QString kDownArrow(QChar(0x2193));
const QString kUpArrow(QChar(0x2191));

// A button picture from the program's folder; its caption on a plain face
// when the file is missing, so the button stays usable.
QPixmap buttonPicture(const QString& path, QSize size, const QString& caption) {
    QPixmap picture(path);
    if (!picture.isNull()) return picture;
    picture = QPixmap(size);
    picture.fill(Qt::white);
    QPainter p(&picture);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(20, 40, 80));
    p.drawText(picture.rect(), Qt::AlignCenter, caption);
    return picture;
}

}  // namespace

ExtrasEditor::ExtrasEditor(Program& program)
    : Form(program, QStringLiteral("Edit Extras"), 464, 215) {
    // A fixed border and a caption, but no system menu and no close box: the
    // window closes through its own OK and Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setButtonless(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    setFont(font);
    buildControls();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void ExtrasEditor::buildControls() {
    const QString folder = platform().programFolder;
    Image1 = new SkinImage(this, QStringLiteral("Image1"), 0, -8, 460, 230);
    Image1->setPicture([path = folder + QStringLiteral("obu-extras.jpg")] {
        return QPixmap::fromImage(loadJpeg(path));
    });

    auto text = [this](const QString& name, const QString& caption, int w) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->setGeometry(64, 40, w, 26);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setWordWrap(true);
        l->setAttribute(Qt::WA_TranslucentBackground);
        return l;
    };
    Label1 =
        text(QStringLiteral("Label1"),
             QStringLiteral(
                 "Add the names and addresses of webpages that you would like to visit after OBU "
                 "connects you to your internet provider."),
             334);
    Label2 =
        text(QStringLiteral("Label2"),
             QStringLiteral(
                 "Add the names and filenames of programs that you would like to execute after "
                 "OBU connects you to your internet provider."),
             303);

    OpenDialog1 = new OpenDialog(*platform().dialogs, this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    // Programs on Linux have no extension: the dialog opens on the files the
    // user may run, whatever their names, offers the ".exe" ones second, and
    // adds no ".exe" to a chosen name. There is no drive "c:\" to start in;
    // the user's home folder is where their own programs and scripts live.
    OpenDialog1->Filter = {QStringLiteral("All executable files (*)"),
                           QStringLiteral("Programs (*.exe)")};
    OpenDialog1->ExecutablesOnly = true;
    OpenDialog1->InitialDir = QDir::homePath();

    auto edit = [this](QLineEdit* e, const QString& name, int x, int top, int w) {
        e->setObjectName(name);
        e->setGeometry(x, top, w, 21);
        // No limit here: a longer text pasted or stored is kept whole, so that
        // OK can refuse it rather than store the start of it.
        return e;
    };
    static const char* const nameNames[] = {"Edit1", "Edit3",  "Edit5",  "Edit7",
                                            "Edit9", "Edit11", "Edit13", "Edit15"};
    static const char* const pathNames[] = {"me_web1", "edit4", "edit6", "edit8",
                                            "be1",     "be2",   "be3",   "be4"};
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const int top = kRowTops[(n - 1) % 4];
        nameEdits_[n - 1] =
            edit(new QLineEdit(this), QLatin1String(nameNames[n - 1]), 58, top, 105);
        if (Extras::isWebPage(n)) {
            pathEdits_[n - 1] =
                edit(new QLineEdit(this), QLatin1String(pathNames[n - 1]), 188, top, 209);
        } else {
            auto* browse = new BrowseEdit(this);
            browse->Dialog = OpenDialog1;
            pathEdits_[n - 1] = edit(browse, QLatin1String(pathNames[n - 1]), 188, top, 209);
        }
    }
    Edit1 = nameEdits_[0], Edit3 = nameEdits_[1], Edit5 = nameEdits_[2], Edit7 = nameEdits_[3];
    Edit9 = nameEdits_[4], Edit11 = nameEdits_[5], Edit13 = nameEdits_[6], Edit15 = nameEdits_[7];
    me_web1 = pathEdits_[0], edit4 = pathEdits_[1], edit6 = pathEdits_[2], edit8 = pathEdits_[3];
    be1 = static_cast<BrowseEdit*>(pathEdits_[4]);
    be2 = static_cast<BrowseEdit*>(pathEdits_[5]);
    be3 = static_cast<BrowseEdit*>(pathEdits_[6]);
    be4 = static_cast<BrowseEdit*>(pathEdits_[7]);
    // Name, then address, row by row.
    for (int i = 0; i + 1 < 2 * Extras::kSlots; ++i) {
        QWidget* from = i % 2 == 0 ? nameEdits_[i / 2] : pathEdits_[i / 2];
        QWidget* to = i % 2 == 0 ? pathEdits_[i / 2] : nameEdits_[i / 2 + 1];
        setTabOrder(from, to);
    }
    for (int n = 5; n <= Extras::kSlots; ++n)
        FocusHooks::install(
            NameEdit(n), [this, n] { handle([this, n] { ProgramNameEnter(n); }); },
            [this, n] { handle([this, n] { ProgramNameExit(n); }); });

    Image2 = new SkinImage(this, QStringLiteral("Image2"), kOkPlace.x(), kOkPlace.y(), 16, 13);
    Image2->setPicture(
        buttonPicture(folder + QStringLiteral("ok.png"), {16, 13}, QStringLiteral("OK")));
    Image3 =
        new SkinImage(this, QStringLiteral("Image3"), kCancelPlace.x(), kCancelPlace.y(), 40, 13);
    Image3->setPicture(
        buttonPicture(folder + QStringLiteral("cancel.png"), {40, 13}, QStringLiteral("Cancel")));
    for (auto [button, place] : {std::pair{Image2, kOkPlace}, std::pair{Image3, kCancelPlace}}) {
        button->setCursor(Qt::PointingHandCursor);
        button->onMouseDown = [button, place](Qt::MouseButton) {
            button->move(place + QPoint(1, 1));
        };
        button->onMouseUp = [button, place](Qt::MouseButton) { button->move(place); };
    }
    Image2->onClick = [this] { handle([this] { Image2Click(); }); };
    Image3->onClick = [this] { handle([this] { Image3Click(); }); };

    Label3 = new QLabel(kDownArrow, this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(kArrowPlace.x(), kArrowPlace.y(), 15, 21);
    Label3->setAttribute(Qt::WA_TranslucentBackground);
    Label3->setCursor(Qt::PointingHandCursor);
    QFont arrows(QStringLiteral("DejaVu Sans"));
    arrows.setPixelSize(19);
    Label3->setFont(arrows);
    MouseHooks::install(
        Label3, [this](Qt::MouseButton) { handle([this] { Label3MouseDown(); }); },
        [this](Qt::MouseButton) { handle([this] { Label3MouseUp(); }); });

    showPage(false);
}

Extras& ExtrasEditor::extras() {
    return program().mainWindow->extras();
}

bool ExtrasEditor::ShowsPrograms() const {
    return Label3->text() == kUpArrow;
}

void ExtrasEditor::showPage(bool programs) {
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const bool onPage = Extras::isWebPage(n) != programs;
        NameEdit(n)->setVisible(onPage);
        PathEdit(n)->setVisible(onPage);
    }
    Label1->setVisible(!programs);
    Label2->setVisible(programs);
    Label3->setText(programs ? kUpArrow : kDownArrow);
}

void ExtrasEditor::FormShow() {
    // The file may have been changed since the start; what it holds now is
    // shown. The edits get a text too long for the table whole, so that the
    // user sees it and OK asks for a shorter one.
    const Extras::Slots whole = extras().reread();
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const Extras::Slot& slot = whole[n];
        NameEdit(n)->setText(slot.name.isEmpty() ? Extras::unsetName(n) : slot.name);
        if (Extras::isWebPage(n))
            PathEdit(n)->setText(slot.path.isEmpty() ? QStringLiteral("http://") : slot.path);
        else
            PathEdit(n)->setText(slot.path);
    }
    showPage(false);
}

void ExtrasEditor::Label3MouseDown() {
    Label3->move(kArrowPlace + QPoint(1, 1));
    program().mainWindow->PlayClick();
    showPage(!ShowsPrograms());
}

void ExtrasEditor::Label3MouseUp() {
    Label3->move(kArrowPlace);
}

void ExtrasEditor::ProgramNameEnter(int n) {
    if (NameEdit(n)->text() == Extras::unsetName(n)) NameEdit(n)->clear();
}

void ExtrasEditor::ProgramNameExit(int n) {
    if (NameEdit(n)->text().isEmpty() && PathEdit(n)->text().isEmpty())
        NameEdit(n)->setText(Extras::unsetName(n));
}

QLineEdit* ExtrasEditor::refuseTooLong() {
    for (int n = 1; n <= Extras::kSlots; ++n) {
        QLineEdit* const edits[] = {NameEdit(n), PathEdit(n)};
        if (extras().rowChange(n, edits[0]->text(), edits[1]->text()) != Extras::RowChange::Store)
            continue;
        for (QLineEdit* edit : edits) {
            if (edit->text().size() <= kMaxFieldText) continue;
            const bool web = Extras::isWebPage(n);
            const QString what = edit == edits[0] ? QStringLiteral("The name of ")
                                 : web            ? QStringLiteral("The address of ")
                                                  : QStringLiteral("The file name of ");
            const QString row =
                web ? QStringLiteral("webpage %1").arg(n) : QStringLiteral("program %1").arg(n - 4);
            platform().dialogs->messageBox(
                what + row +
                    QStringLiteral(" is %1 characters long; an extra holds at most %2. "
                                   "Please shorten it.")
                        .arg(edit->text().size())
                        .arg(kMaxFieldText),
                QStringLiteral("Edit Extras"), MsgIcon::Warning, MsgButtons::Ok);
            return edit;
        }
    }
    return nullptr;
}

void ExtrasEditor::Image2Click() {
    MainWindow* main = program().mainWindow;
    main->PlayClick();
    // Nothing is stored while a text does not fit: the start of an address
    // would open another page, the start of a file name another program.
    if (QLineEdit* tooLong = refuseTooLong()) {
        bool onProgramPage = false;
        for (int n = 1; n <= Extras::kSlots; ++n)
            if (tooLong == NameEdit(n) || tooLong == PathEdit(n))
                onProgramPage = !Extras::isWebPage(n);
        showPage(onProgramPage);
        tooLong->setFocus();
        return;
    }
    std::array<QString, Extras::kSlots + 1> names, paths;
    for (int n = 1; n <= Extras::kSlots; ++n) {
        names[n] = NameEdit(n)->text();
        paths[n] = PathEdit(n)->text();
    }
    extras().applyRows(names, paths);
    Hide();
}

void ExtrasEditor::Image3Click() {
    program().mainWindow->PlayClick();
    Hide();
}

}  // namespace obu
