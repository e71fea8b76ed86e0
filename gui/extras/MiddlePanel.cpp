// The middle panel of the main window: three pages (the connection and the
// alarm, the web pages, the programs) stepped through with two arrows, a light
// and a name per extra, and the extras button that opens the editor.
#include <array>

#include "gui/extras/MouseHooks.h"
#include "gui/main/MainWindow.h"
#include "gui/program/ProgramModel.h"
#include "gui/shell/SplashScreen.h"
#include "platform/Platform.h"

namespace obu {
namespace {

// Where the arrows rest; a press moves them one pixel right and down.
const QPoint kDownArrowPlace(372, 128);
const QPoint kUpArrowPlace(372, 14);

QFont narrowFont(int pixels) {
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

void MainWindow::buildMiddlePanel() {
    if (m_webPagesHeading) return;
    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(x, y, w, h);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setFont(narrowFont(13));
        l->hide();
        return l;
    };
    m_webPagesHeading = label(QStringLiteral("webPagesHeading"),
                              QStringLiteral("Toggle webpages on/off"), 208, 16, 161, 17);
    m_programsHeading = label(QStringLiteral("programsHeading"),
                              QStringLiteral("Toggle programs on/off"), 208, 16, 161, 17);
    for (QLabel* heading : {m_webPagesHeading, m_programsHeading}) {
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        heading->setWordWrap(true);
    }

    // The web pages' lights and names and the programs' share their four places.
    static constexpr std::array<int, 4> rows{40, 64, 88, 112};
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const int top = rows[(n - 1) % 4];
        auto* light = new SkinImage(this, QStringLiteral("extraLight%1").arg(n), 214, top, 18, 18);
        light->setCursor(Qt::PointingHandCursor);
        light->setEnabled(false);
        light->hide();
        light->onMouseDown = [this, n](Qt::MouseButton) { handle([this, n] { toggleExtra(n); }); };
        m_extraLights[n - 1] = light;
        const int width = n == 3 ? 171 : 163;
        QLabel* name = label(QStringLiteral("extraName%1").arg(n), QStringLiteral("Not Set Yet"),
                             238, top + 2, width, 23);
        QPalette pal = name->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        name->setPalette(pal);
        m_extraNames[n - 1] = name;
    }
    m_extraLights[0]->setToolTip(QStringLiteral("toggle on/off"));

    // The arrows lie above the pages' labels, which would otherwise take their clicks.
    m_downArrow->raise();
    m_upArrow->raise();
    MouseHooks::install(
        m_downArrow, [this](Qt::MouseButton) { handle([this] { pressDownArrow(); }); },
        [this](Qt::MouseButton) { handle([this] { releaseDownArrow(); }); });
    MouseHooks::install(
        m_upArrow, [this](Qt::MouseButton) { handle([this] { pressUpArrow(); }); },
        [this](Qt::MouseButton) { handle([this] { releaseUpArrow(); }); });

    // The extras button's faces and sounds are those of every skin button; its click is ours.
    m_extrasButton->onClick = [this] { handle([this] { emit extrasEditorWanted(); }); };

    if (platform().registry && platform().shell)
        m_webPageOpener = std::make_unique<WebPageOpener>(*platform().registry, *platform().shell);
}

SkinImage* MainWindow::extraLight(int n) const {
    return n >= 1 && n <= Extras::kSlots ? m_extraLights[n - 1] : nullptr;
}

QLabel* MainWindow::extraNameLabel(int n) const {
    return n >= 1 && n <= Extras::kSlots ? m_extraNames[n - 1] : nullptr;
}

void MainWindow::drawLight(int n) {
    extraLight(n)->drawFace(m_lightFaces, m_extras.isOn(n) ? 1 : 0);
}

void MainWindow::showExtra(int n) {
    const bool hasPath = !m_extras.slot(n).path.isEmpty();
    extraNameLabel(n)->setText(hasPath ? m_extras.slot(n).name : QStringLiteral("Not Set Yet"));
    extraLight(n)->setEnabled(hasPath);
}

void MainWindow::toggleExtra(int n) {
    playClick();
    m_extras.toggle(n);
}

void MainWindow::launchExtras() {
    m_extras.launch(m_log);
}

// Whoever asked for the extras, the window goes to the tray once they are started.
void MainWindow::onExtrasLaunched() {
    if (m_options.isOn(UserOptions::Option::MinimizeOnConnect)) setShowState(ShowState::Minimized);
}

void MainWindow::hidePanelContents() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_entryCaption, m_connectionName, m_alarmCaption,
                                         m_alarmTimeLabel, m_webPagesHeading, m_programsHeading})
        w->hide();
    for (int n = 1; n <= Extras::kSlots; ++n) {
        extraLight(n)->hide();
        extraNameLabel(n)->hide();
    }
}

void MainWindow::showInformationPage() {
    hidePanelContents();
    for (QWidget* w : std::initializer_list<QWidget*>{m_entryCaption, m_connectionName,
                                                      m_alarmCaption, m_alarmTimeLabel})
        w->show();
    m_downArrow->show();
    m_upArrow->hide();
    m_upArrow->move(kUpArrowPlace);
}

void MainWindow::showWebPagesPage() {
    hidePanelContents();
    m_webPagesHeading->show();
    for (int n = 1; n <= 4; ++n) {
        extraLight(n)->show();
        extraNameLabel(n)->show();
    }
    m_downArrow->show();
    m_upArrow->show();
}

void MainWindow::showProgramsPage() {
    hidePanelContents();
    m_programsHeading->show();
    for (int n = 5; n <= 8; ++n) {
        extraLight(n)->show();
        extraNameLabel(n)->show();
    }
    m_downArrow->hide();
    // A hidden arrow may never see the release of the press that hid it.
    m_downArrow->move(kDownArrowPlace);
    m_upArrow->show();
}

// The page on show is told by the arrows: the up arrow shows on the two extras
// pages, the down arrow on the information and web page pages. Their own
// flags count, not whether the window is on screen.
void MainWindow::pressDownArrow() {
    m_downArrow->move(kDownArrowPlace + QPoint(1, 1));
    playClick();
    if (!m_upArrow->isHidden())
        showProgramsPage();
    else
        showWebPagesPage();
}

void MainWindow::releaseDownArrow() {
    m_downArrow->move(kDownArrowPlace);
}

void MainWindow::pressUpArrow() {
    m_upArrow->move(kUpArrowPlace + QPoint(1, 1));
    playClick();
    if (!m_downArrow->isHidden())
        showInformationPage();
    else
        showWebPagesPage();
}

void MainWindow::releaseUpArrow() {
    m_upArrow->move(kUpArrowPlace);
}

}  // namespace obu
