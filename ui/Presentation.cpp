// The main window's about picture, its hidden quotation with its tune, and
// the bookkeeping of keys and mouse moves that starts the quotation.
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>

#include "core/MainWindow.h"
#include "core/Program.h"
#include "platform/Platform.h"
#include "platform/Sound.h"
#include "shell/TrayMenu.h"
#include "ui/JpegImage.h"
#include "ui/TransparentLabel.h"

namespace obu {
namespace {

constexpr int kKeyV = 0x56;
constexpr int kKeyS = 0x53;

}  // namespace

void MainWindow::buildPresentation() {
    const Platform& p = platform();
    const QImage background = loadJpeg(p.programFolder + QStringLiteral("obu-background.jpg"));
    if (!background.isNull()) Image9->setPicture(QPixmap::fromImage(background));

    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        return transparentLabel(this, name, text, x, y, w, h);
    };
    auto narrow = [](int pixels) {
        QFont font(QStringLiteral("Arial Narrow"));
        font.setPixelSize(pixels);
        return font;
    };
    auto colour = [](QLabel* l, const QColor& c) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, c);
        l->setPalette(pal);
    };

    // A public-domain saying; its three closing words come one by one.
    Label18->setText(QStringLiteral("Early to bed and early to rise makes a man"));
    Label19 = label(QStringLiteral("Label19"), QStringLiteral("healthy,"), 220, 112, 56, 22);
    Label20 = label(QStringLiteral("Label20"), QStringLiteral("wealthy,"), 276, 112, 48, 22);
    Label21 = label(QStringLiteral("Label21"), QStringLiteral("and wise."), 324, 112, 70, 22);
    for (QLabel* word : {Label19, Label20, Label21}) word->setFont(narrow(16));
    colour(Label19, QColor(0, 128, 128));
    colour(Label20, QColor(128, 0, 128));
    colour(Label21, QColor(0, 0, 128));
    Mark = label(QStringLiteral("Mark"), QStringLiteral("- Benjamin Franklin"), 264, 136, 130, 18);
    Mark->setFont(narrow(13));
    for (QLabel* l : {Label19, Label20, Label21, Mark}) l->hide();

    Label22 = label(QStringLiteral("Label22"), QString(), 32, 8, 105, 49);
    Label22->setCursor(Qt::WhatsThisCursor);
    Label17 = label(QStringLiteral("Label17"), QString(), 52, 28, 3, 3);
    Label17->setCursor(Qt::PointingHandCursor);
    aboutimg = new SkinImage(this, QStringLiteral("aboutimg"), 210, 20, 174, 127);
    aboutimg->setPicture([path = p.programFolder + QStringLiteral("obu-about.jpg")] {
        return QPixmap::fromImage(loadJpeg(path));
    });
    aboutimg->setToolTip(QStringLiteral("click to close about"));
    aboutimg->hide();
    aboutimg->onClick = [this] { handle([this] { aboutimgClick(); }); };

    // Mouse moves over these tell whether the pointer last rested on the hot spot.
    for (QWidget* w : std::initializer_list<QWidget*>{Image9, Image10, Image11, Image12, Image14,
                                                      Image15, Status, Status2, Label22, Label17,
                                                      Label13, Label14, ExtraLight(1)}) {
        if (!w) continue;
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    // A tune that cannot be opened (no file, no sound device) leaves the
    // quotation silent; the window is made all the same.
    if (p.sound) MediaPlayer1 = p.sound->openMusic(QStringLiteral("obu.okx"));
    Timer4.setOnTimer([this] { Timer4Timer(); });
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The tray menu is the window's popup menu too.
    program().trayMenu->menu->popup(event->globalPos());
}

void MainWindow::Label22Click() {
    HidePanelContents();
    aboutimg->move(210, 20);
    aboutimg->show();
    aboutimg->raise();
    Label13->hide();
    Label14->hide();
}

void MainWindow::aboutimgClick() {
    PlayClick();
    aboutimg->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Label11, Label12, Label13})
        w->show();
    Label14->hide();
}

void MainWindow::ShowEgg() {
    HidePanelContents();
    if (program().trayMenu->soundOption->isChecked() && MediaPlayer1) MediaPlayer1->play();
    Label13->hide();
    Label14->hide();
    Label18->show();
    QuotationStep = 0;
    // A new start while running counts again from 0.
    Timer4.setEnabled(false);
    Timer4.setEnabled(true);
}

void MainWindow::Timer4Timer() {
    switch (QuotationStep) {
        case 7:
            Label19->show();
            break;
        case 8:
            Label20->show();
            break;
        case 9:
            Label21->show();
            break;
        case 10:
            Mark->show();
            break;
        case 13:
            for (QWidget* w :
                 std::initializer_list<QWidget*>{Label18, Label19, Label20, Label21, Mark})
                w->hide();
            for (QWidget* w :
                 std::initializer_list<QWidget*>{Label1, Label2, Label11, Label12, Label13})
                w->show();
            Label14->hide();
            Timer4.setEnabled(false);
            break;
        default:
            break;
    }
    ++QuotationStep;
}

void MainWindow::FormKeyUp(int key) {
    if (LastKeyUp == kKeyV && key == kKeyS && MouseOnHotSpot) {
        if (aboutimg->isVisible()) aboutimgClick();
        ShowEgg();
        return;
    }
    LastKeyUp = key;
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    // Keys typed into the settings panel's boxes are theirs, not the window's;
    // a box that went with the panel has no say.
    QWidget* focus = focusWidget();
    if (focus && focus->isVisible())
        for (QWidget* editor : std::initializer_list<QWidget*>{
                 m_userNameEdit, m_passwordEdit, m_entryList, m_alarmDateEdit, m_alarmTimeEdit})
            if (focus == editor || editor->isAncestorOf(focus)) return;
    handle([this, key = event->key()] { FormKeyUp(key); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == Label22) {
        handle([this] { Label22Click(); });
        return false;
    }
    if (event->type() != QEvent::MouseMove) return Form::eventFilter(watched, event);
    if (watched == Label17) {
        MouseOnHotSpot = true;
    } else if (watched == Label13 || watched == Label14 || watched == ExtraLight(1)) {
        MouseOnHotSpot = false;
    } else {
        LastKeyUp = 0;
        MouseOnHotSpot = false;
    }
    // The Exit button has no cursor of its own: it turns the window's cursor
    // into the hand, and the background turns it back.
    if (watched == Image12 && cursor().shape() != Qt::PointingHandCursor)
        setCursor(Qt::PointingHandCursor);
    if (watched == Image9 && cursor().shape() != Qt::ArrowCursor) setCursor(Qt::ArrowCursor);
    return Form::eventFilter(watched, event);
}

}  // namespace obu
