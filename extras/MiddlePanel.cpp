// The middle panel of the main window: three pages (the connection and the
// alarm, the web pages, the programs) stepped through with two arrows, a light
// and a name per extra, and the extras button that opens the editor.
#include <array>

#include "core/MainWindow.h"
#include "core/Program.h"
#include "extras/ExtrasEditor.h"
#include "extras/MouseHooks.h"
#include "platform/Platform.h"
#include "shell/SplashScreen.h"
#include "shell/TrayMenu.h"

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
    if (Label15) return;
    auto label = [this](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(x, y, w, h);
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->setFont(narrowFont(13));
        l->hide();
        return l;
    };
    Label15 = label(QStringLiteral("Label15"), QStringLiteral("Toggle webpages on/off"), 208, 16,
                    161, 17);
    Label16 = label(QStringLiteral("Label16"), QStringLiteral("Toggle programs on/off"), 208, 16,
                    161, 17);
    for (QLabel* heading : {Label15, Label16}) {
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        heading->setWordWrap(true);
    }

    // The web pages' lights and names and the programs' share their four places.
    static constexpr std::array<int, 4> rows{40, 64, 88, 112};
    std::array<SkinImage*, Extras::kSlots> lights{};
    std::array<QLabel*, Extras::kSlots> names{};
    for (int n = 1; n <= Extras::kSlots; ++n) {
        const int top = rows[(n - 1) % 4];
        auto* light = new SkinImage(this, QStringLiteral("Image%1").arg(n), 214, top, 18, 18);
        light->setCursor(Qt::PointingHandCursor);
        light->setEnabled(false);
        light->hide();
        light->onMouseDown = [this, n](Qt::MouseButton) { handle([this, n] { ToggleLight(n); }); };
        lights[n - 1] = light;
        const int width = n == 3 ? 171 : 163;
        QLabel* name = label(QStringLiteral("Label%1").arg(n + 2), QStringLiteral("Not Set Yet"),
                             238, top + 2, width, 23);
        QPalette pal = name->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        name->setPalette(pal);
        names[n - 1] = name;
    }
    lights[0]->setToolTip(QStringLiteral("toggle on/off"));
    Image1 = lights[0], Image2 = lights[1], Image3 = lights[2], Image4 = lights[3];
    Image5 = lights[4], Image6 = lights[5], Image7 = lights[6], Image8 = lights[7];
    Label3 = names[0], Label4 = names[1], Label5 = names[2], Label6 = names[3];
    Label7 = names[4], Label8 = names[5], Label9 = names[6], Label10 = names[7];

    // The arrows lie above the pages' labels, which would otherwise take their clicks.
    Label13->raise();
    Label14->raise();
    MouseHooks::install(
        Label13, [this](Qt::MouseButton) { handle([this] { Label13MouseDown(); }); },
        [this](Qt::MouseButton) { handle([this] { Label13MouseUp(); }); });
    MouseHooks::install(
        Label14, [this](Qt::MouseButton) { handle([this] { Label14MouseDown(); }); },
        [this](Qt::MouseButton) { handle([this] { Label14MouseUp(); }); });

    // The extras button's faces and sounds are those of every skin button; its click is ours.
    Image15->onClick = [this] { handle([this] { Image15Click(this); }); };

    if (platform().registry && platform().shell)
        GoToWeb1 = std::make_unique<WebPageOpener>(*platform().registry, *platform().shell, this);
    Timer6.setOnTimer([this] { Timer6Timer(); });
}

SkinImage* MainWindow::ExtraLight(int n) const {
    const std::array<SkinImage*, Extras::kSlots> lights{Image1, Image2, Image3, Image4,
                                                        Image5, Image6, Image7, Image8};
    return n >= 1 && n <= Extras::kSlots ? lights[n - 1] : nullptr;
}

QLabel* MainWindow::ExtraNameLabel(int n) const {
    const std::array<QLabel*, Extras::kSlots> names{Label3, Label4, Label5, Label6,
                                                    Label7, Label8, Label9, Label10};
    return n >= 1 && n <= Extras::kSlots ? names[n - 1] : nullptr;
}

void MainWindow::DrawLight(int n) {
    ExtraLight(n)->DrawFace(ImageList1, m_extras.isOn(n) ? 1 : 0);
}

void MainWindow::showExtra(int n) {
    const bool hasPath = !m_extras.slot(n).path.isEmpty();
    ExtraNameLabel(n)->setText(hasPath ? m_extras.slot(n).name : QStringLiteral("Not Set Yet"));
    ExtraLight(n)->setEnabled(hasPath);
}

void MainWindow::ToggleLight(int n) {
    PlayClick();
    m_extras.toggle(n);
}

void MainWindow::LaunchExtras() {
    m_extras.launch(*eventLog, program().splashScreen);
    // Whoever asked for the extras, the window then goes to the tray.
    if (program().trayMenu->minimizeOnConnectOption->isChecked())
        setWindowState(TWindowState::wsMinimized);
}

void MainWindow::HidePanelContents() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label1, Label2, Label11, Label12, Label15, Label16})
        w->hide();
    for (int n = 1; n <= Extras::kSlots; ++n) {
        ExtraLight(n)->hide();
        ExtraNameLabel(n)->hide();
    }
}

void MainWindow::ShowInformationPage() {
    HidePanelContents();
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Label11, Label12}) w->show();
    Label13->show();
    Label14->hide();
    Label14->move(kUpArrowPlace);
}

void MainWindow::ShowWebPagesPage() {
    HidePanelContents();
    Label15->show();
    for (int n = 1; n <= 4; ++n) {
        ExtraLight(n)->show();
        ExtraNameLabel(n)->show();
    }
    Label13->show();
    Label14->show();
}

void MainWindow::ShowProgramsPage() {
    HidePanelContents();
    Label16->show();
    for (int n = 5; n <= 8; ++n) {
        ExtraLight(n)->show();
        ExtraNameLabel(n)->show();
    }
    Label13->hide();
    // A hidden arrow may never see the release of the press that hid it.
    Label13->move(kDownArrowPlace);
    Label14->show();
}

// The page on show is told by the arrows: the up arrow shows on the two extras
// pages, the down arrow on the information and web page pages. Their own
// flags count, not whether the window is on screen.
void MainWindow::Label13MouseDown() {
    Label13->move(kDownArrowPlace + QPoint(1, 1));
    PlayClick();
    if (!Label14->isHidden())
        ShowProgramsPage();
    else
        ShowWebPagesPage();
}

void MainWindow::Label13MouseUp() {
    Label13->move(kDownArrowPlace);
}

void MainWindow::Label14MouseDown() {
    Label14->move(kUpArrowPlace + QPoint(1, 1));
    PlayClick();
    if (!Label13->isHidden())
        ShowInformationPage();
    else
        ShowWebPagesPage();
}

void MainWindow::Label14MouseUp() {
    Label14->move(kUpArrowPlace);
}

void MainWindow::Image15Click(QObject*) {
    // Not modal: the main window stays usable. A shown editor only comes to the
    // front and keeps the user's edits; the rows are filled when it appears.
    program().extrasEditor->BringToFront();
}

}  // namespace obu
