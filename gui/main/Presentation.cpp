// The main window's about picture, its hidden quotation with its tune, and
// the bookkeeping of keys and mouse moves that starts the quotation.
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <algorithm>

#include "gui/main/MainWindow.h"
#include "gui/skin/JpegImage.h"
#include "gui/skin/SkinPicture.h"
#include "gui/skin/TransparentLabel.h"
#include "platform/Platform.h"
#include "platform/Sound.h"

namespace obu {
namespace {

constexpr int kKeyV = 0x56;
constexpr int kKeyS = 0x53;

}  // namespace

void MainWindow::buildQuotation() {
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
    m_quotation->setText(QStringLiteral("Early to bed and early to rise makes a man"));
    m_healthyWord =
        label(QStringLiteral("healthyWord"), QStringLiteral("healthy,"), 220, 112, 56, 22);
    m_wealthyWord =
        label(QStringLiteral("wealthyWord"), QStringLiteral("wealthy,"), 276, 112, 48, 22);
    m_wiseWord = label(QStringLiteral("wiseWord"), QStringLiteral("and wise."), 324, 112, 70, 22);
    for (QLabel* word : {m_healthyWord, m_wealthyWord, m_wiseWord}) word->setFont(narrow(16));
    colour(m_healthyWord, QColor(0, 128, 128));
    colour(m_wealthyWord, QColor(128, 0, 128));
    colour(m_wiseWord, QColor(0, 0, 128));
    m_attribution = label(QStringLiteral("attribution"), QStringLiteral("- Benjamin Franklin"), 264,
                          136, 130, 18);
    m_attribution->setFont(narrow(13));
    for (QLabel* l : {m_healthyWord, m_wealthyWord, m_wiseWord, m_attribution}) l->hide();
}

void MainWindow::buildPresentation() {
    const Platform& p = platform();
    const QPixmap background =
        loadSkinPicture(p.programFolder + QStringLiteral("obu-background.jpg"));
    if (!background.isNull()) m_background->setPicture(background);

    buildQuotation();
    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        return transparentLabel(this, name, text, x, y, w, h);
    };
    m_aboutHotSpot = label(QStringLiteral("aboutHotSpot"), QString(), 32, 8, 105, 49);
    m_aboutHotSpot->setCursor(Qt::WhatsThisCursor);
    m_quotationHotSpot = label(QStringLiteral("quotationHotSpot"), QString(), 52, 28, 3, 3);
    m_quotationHotSpot->setCursor(Qt::PointingHandCursor);
    m_aboutPicture = new SkinImage(this, QStringLiteral("aboutPicture"), 210, 20, 174, 127);
    m_aboutPicture->setPicture([path = p.programFolder + QStringLiteral("obu-about.jpg")] {
        return loadSkinPicture(path);
    });
    m_aboutPicture->setToolTip(QStringLiteral("click to close about"));
    m_aboutPicture->hide();
    m_aboutPicture->onClick = [this] { handle([this] { closeAbout(); }); };

    // Mouse moves over these tell whether the pointer last rested on the hot spot.
    const auto paging = m_middlePanel->pagingControls();
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_background, m_connectButton, m_alarmButton, m_exitButton, m_connectionButton,
             m_extrasButton, m_statusCaption, m_statusLine, m_aboutHotSpot, m_quotationHotSpot,
             paging[0], paging[1], paging[2]}) {
        if (!w) continue;
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    // A tune that cannot be opened (no file, no sound device) leaves the
    // quotation silent; the window is made all the same.
    if (p.sound) m_quotationTune = p.sound->openMusic(QStringLiteral("obu.okx"));
    m_quotationSteps.setOnTimer([this] { stepQuotation(); });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!menuKey) return Form::keyPressEvent(event);
    // Where the keyboard is: at the control with the focus, else the window's corner.
    const QWidget* at = focusWidget() ? focusWidget() : this;
    emit menuRequested(at->mapToGlobal(at->rect().center()));
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The tray menu is the window's popup menu too.
    emit menuRequested(event->globalPos());
}

void MainWindow::showAbout() {
    m_middlePanel->hideContents();
    m_aboutPicture->move(210, 20);
    m_aboutPicture->show();
    m_aboutPicture->raise();
    m_middlePanel->hideArrows();
}

void MainWindow::closeAbout() {
    playClick();
    m_aboutPicture->hide();
    m_middlePanel->showInformationAgain();
}

void MainWindow::showQuotation() {
    m_middlePanel->hideContents();
    if (m_options.isOn(UserOptions::Option::Sound) && m_quotationTune) m_quotationTune->play();
    m_middlePanel->hideArrows();
    m_quotation->show();
    m_quotationStep = 0;
    // A new start while running counts again from 0.
    m_quotationSteps.setEnabled(false);
    m_quotationSteps.setEnabled(true);
}

void MainWindow::stepQuotation() {
    switch (m_quotationStep) {
        case 7:
            m_healthyWord->show();
            break;
        case 8:
            m_wealthyWord->show();
            break;
        case 9:
            m_wiseWord->show();
            break;
        case 10:
            m_attribution->show();
            break;
        case 13:
            for (QWidget* w : std::initializer_list<QWidget*>{
                     m_quotation, m_healthyWord, m_wealthyWord, m_wiseWord, m_attribution})
                w->hide();
            m_middlePanel->showInformationAgain();
            m_quotationSteps.setEnabled(false);
            break;
        default:
            break;
    }
    ++m_quotationStep;
}

void MainWindow::onKeyUp(int key) {
    if (m_lastKeyUp == kKeyV && key == kKeyS && m_pointerOnHotSpot) {
        if (m_aboutPicture->isVisible()) closeAbout();
        showQuotation();
        return;
    }
    m_lastKeyUp = key;
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    // Keys typed into the settings panel's boxes are theirs, not the window's;
    // a box that went with the panel has no say.
    QWidget* focus = focusWidget();
    if (focus && focus->isVisible() && m_settingsPanel->holdsFocus(focus)) return;
    handle([this, key = event->key()] { onKeyUp(key); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == m_aboutHotSpot) {
        handle([this] { showAbout(); });
        return false;
    }
    if (event->type() != QEvent::MouseMove) return Form::eventFilter(watched, event);
    if (watched == m_quotationHotSpot) {
        m_pointerOnHotSpot = true;
    } else if (const auto paging = m_middlePanel->pagingControls();
               std::find(paging.begin(), paging.end(), watched) != paging.end()) {
        m_pointerOnHotSpot = false;
    } else {
        m_lastKeyUp = 0;
        m_pointerOnHotSpot = false;
    }
    // The Exit button has no cursor of its own: it turns the window's cursor
    // into the hand, and the background turns it back.
    if (watched == m_exitButton && cursor().shape() != Qt::PointingHandCursor)
        setCursor(Qt::PointingHandCursor);
    if (watched == m_background && cursor().shape() != Qt::ArrowCursor) setCursor(Qt::ArrowCursor);
    return Form::eventFilter(watched, event);
}

}  // namespace obu
