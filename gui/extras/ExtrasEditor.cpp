#include "gui/extras/ExtrasEditor.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "gui/extras/MouseHooks.h"
#include "gui/program/ProgramModel.h"
#include "gui/skin/JpegImage.h"
#include "gui/skin/SkinPicture.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

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
    QPixmap picture = loadSkinPicture(path);
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

ExtrasEditor::ExtrasEditor(ProgramModel& program)
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
    m_background = new SkinImage(this, QStringLiteral("background"), 0, -8, 460, 230);
    m_background->setPicture([path = platform().programFolder + QStringLiteral("obu-extras.jpg")] {
        return loadSkinPicture(path);
    });
    buildExplanations();
    buildRows();
    buildButtons();
    buildPageArrow();
    showPage(false);
}

void ExtrasEditor::buildExplanations() {
    auto text = [this](const QString& name, const QString& caption, int w) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->setGeometry(64, 40, w, 26);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setWordWrap(true);
        l->setAttribute(Qt::WA_TranslucentBackground);
        return l;
    };
    m_webPagesText =
        text(QStringLiteral("webPagesText"),
             QStringLiteral(
                 "Add the names and addresses of webpages that you would like to visit after OBU "
                 "connects you to your internet provider."),
             334);
    m_programsText =
        text(QStringLiteral("programsText"),
             QStringLiteral(
                 "Add the names and filenames of programs that you would like to execute after "
                 "OBU connects you to your internet provider."),
             303);
}

void ExtrasEditor::buildRows() {
    m_openDialog = new OpenDialog(*platform().dialogs, this);
    m_openDialog->setObjectName(QStringLiteral("openDialog"));
    // Programs on Linux have no extension: the dialog opens on the files the
    // user may run, whatever their names, offers the ".exe" ones second, and
    // adds no ".exe" to a chosen name. There is no drive "c:\" to start in;
    // the user's home folder is where their own programs and scripts live.
    m_openDialog->nameFilters = {QStringLiteral("All executable files (*)"),
                                 QStringLiteral("Programs (*.exe)")};
    m_openDialog->executablesOnly = true;
    m_openDialog->initialFolder = QDir::homePath();

    auto edit = [](QLineEdit* e, const QString& name, int x, int top, int w) {
        e->setObjectName(name);
        e->setGeometry(x, top, w, 21);
        // No limit here: a longer text pasted or stored is kept whole, so that
        // OK can refuse it rather than store the start of it.
        return e;
    };
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const int top = kRowTops[(n - 1) % 4];
        const bool web = Extras::isWebPage(n);
        const int row = web ? n : n - 4;
        m_nameEdits[n - 1] =
            edit(new QLineEdit(this),
                 (web ? QStringLiteral("webPageName%1") : QStringLiteral("programName%1")).arg(row),
                 58, top, 105);
        if (web) {
            m_pathEdits[n - 1] = edit(new QLineEdit(this),
                                      QStringLiteral("webPageAddress%1").arg(row), 188, top, 209);
        } else {
            auto* browse = new BrowseEdit(this);
            browse->dialog = m_openDialog;
            m_pathEdits[n - 1] =
                edit(browse, QStringLiteral("programFile%1").arg(row), 188, top, 209);
        }
    }
    // Name, then address, row by row.
    for (int i = 0; i + 1 < 2 * Extras::kSlots; ++i) {
        QWidget* from = i % 2 == 0 ? m_nameEdits[i / 2] : m_pathEdits[i / 2];
        QWidget* to = i % 2 == 0 ? m_pathEdits[i / 2] : m_nameEdits[i / 2 + 1];
        setTabOrder(from, to);
    }
    for (int n = 5; n <= Extras::kSlots; ++n)
        FocusHooks::install(
            nameEdit(n), [this, n] { handle([this, n] { enterProgramName(n); }); },
            [this, n] { handle([this, n] { leaveProgramName(n); }); });
}

void ExtrasEditor::buildButtons() {
    const QString folder = platform().programFolder;
    m_okButton =
        new SkinImage(this, QStringLiteral("okButton"), kOkPlace.x(), kOkPlace.y(), 16, 13);
    m_okButton->makeButton(QStringLiteral("OK"));
    m_okButton->setPicture(
        buttonPicture(folder + QStringLiteral("ok.png"), {16, 13}, QStringLiteral("OK")));
    m_cancelButton = new SkinImage(this, QStringLiteral("cancelButton"), kCancelPlace.x(),
                                   kCancelPlace.y(), 40, 13);
    m_cancelButton->makeButton(QStringLiteral("Cancel"));
    m_cancelButton->setPicture(
        buttonPicture(folder + QStringLiteral("cancel.png"), {40, 13}, QStringLiteral("Cancel")));
    for (const auto& [face, rest] :
         {std::pair{m_okButton, kOkPlace}, std::pair{m_cancelButton, kCancelPlace}}) {
        // Copied out of the binding: not every compiler lets a lambda capture one.
        SkinImage* button = face;
        const QPoint place = rest;
        button->setCursor(Qt::PointingHandCursor);
        button->onMouseDown = [button, place](Qt::MouseButton) {
            button->move(place + QPoint(1, 1));
        };
        button->onMouseUp = [button, place](Qt::MouseButton) { button->move(place); };
    }
    m_okButton->onClick = [this] { handle([this] { storeRows(); }); };
    m_cancelButton->onClick = [this] { handle([this] { cancel(); }); };
    answerEnterAndEscape(
        [this] {
            storeRows();
            return true;
        },
        [this] {
            cancel();
            return true;
        });
}

void ExtrasEditor::buildPageArrow() {
    m_pageArrow = new QLabel(kDownArrow, this);
    m_pageArrow->setObjectName(QStringLiteral("pageArrow"));
    m_pageArrow->setGeometry(kArrowPlace.x(), kArrowPlace.y(), 15, 21);
    m_pageArrow->setAttribute(Qt::WA_TranslucentBackground);
    m_pageArrow->setCursor(Qt::PointingHandCursor);
    QFont arrows(QStringLiteral("DejaVu Sans"));
    arrows.setPixelSize(19);
    m_pageArrow->setFont(arrows);
    MouseHooks::install(
        m_pageArrow, [this](Qt::MouseButton) { handle([this] { pressPageArrow(); }); },
        [this](Qt::MouseButton) { handle([this] { releasePageArrow(); }); });
}

Extras& ExtrasEditor::extras() {
    return program().extras();
}

bool ExtrasEditor::showsPrograms() const {
    return m_pageArrow->text() == kUpArrow;
}

void ExtrasEditor::showPage(bool programs) {
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const bool onPage = Extras::isWebPage(n) != programs;
        nameEdit(n)->setVisible(onPage);
        pathEdit(n)->setVisible(onPage);
    }
    m_webPagesText->setVisible(!programs);
    m_programsText->setVisible(programs);
    m_pageArrow->setText(programs ? kUpArrow : kDownArrow);
}

void ExtrasEditor::onShown() {
    // The file may have been changed since the start; what it holds now is
    // shown. The edits get a text too long for the table whole, so that the
    // user sees it and OK asks for a shorter one.
    const Extras::Slots whole = extras().reread();
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const Extras::Slot& slot = whole[n];
        nameEdit(n)->setText(slot.name.isEmpty() ? Extras::unsetName(n) : slot.name);
        if (Extras::isWebPage(n))
            pathEdit(n)->setText(slot.path.isEmpty() ? QStringLiteral("http://") : slot.path);
        else
            pathEdit(n)->setText(slot.path);
    }
    showPage(false);
}

void ExtrasEditor::pressPageArrow() {
    m_pageArrow->move(kArrowPlace + QPoint(1, 1));
    playClick();
    showPage(!showsPrograms());
}

void ExtrasEditor::releasePageArrow() {
    m_pageArrow->move(kArrowPlace);
}

void ExtrasEditor::enterProgramName(int n) {
    if (nameEdit(n)->text() == Extras::unsetName(n)) nameEdit(n)->clear();
}

void ExtrasEditor::leaveProgramName(int n) {
    if (nameEdit(n)->text().isEmpty() && pathEdit(n)->text().isEmpty())
        nameEdit(n)->setText(Extras::unsetName(n));
}

QLineEdit* ExtrasEditor::refuseTooLong() {
    for (int n = 1; n <= Extras::kSlots; ++n) {
        QLineEdit* const edits[] = {nameEdit(n), pathEdit(n)};
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

void ExtrasEditor::storeRows() {
    playClick();
    // Nothing is stored while a text does not fit: the start of an address
    // would open another page, the start of a file name another program.
    if (QLineEdit* tooLong = refuseTooLong()) {
        bool onProgramPage = false;
        for (int n = 1; n <= Extras::kSlots; ++n)
            if (tooLong == nameEdit(n) || tooLong == pathEdit(n))
                onProgramPage = !Extras::isWebPage(n);
        showPage(onProgramPage);
        tooLong->setFocus();
        return;
    }
    std::array<QString, Extras::kSlots + 1> names, paths;
    for (int n = 1; n <= Extras::kSlots; ++n) {
        names[n] = nameEdit(n)->text();
        paths[n] = pathEdit(n)->text();
    }
    extras().applyRows(names, paths);
    hideWindow();
}

void ExtrasEditor::cancel() {
    playClick();
    hideWindow();
}

}  // namespace obu
