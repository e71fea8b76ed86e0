#include "gui/extras/MiddlePanel.h"

#include "gui/extras/MouseHooks.h"
#include "gui/skin/Form.h"
#include "gui/skin/ImageList.h"
#include "gui/skin/SkinImage.h"
#include "gui/skin/TransparentLabel.h"
#include "model/AlarmClock.h"

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

MiddlePanel::MiddlePanel(Form& window, Extras& extras, AlarmClock& alarmClock,
                         const ImageList& lightFaces)
    : QObject(&window), m_window(window), m_extras(extras), m_lightFaces(lightFaces) {
    auto label = [&window](const QString& name, const QString& text, int x, int y, int w, int h) {
        return transparentLabel(&window, name, text, x, y, w, h);
    };
    auto narrow = [](int pixels, bool bold) {
        QFont font = narrowFont(pixels);
        font.setBold(bold);
        return font;
    };
    m_entryCaption = label(QStringLiteral("entryCaption"),
                           QStringLiteral("Current Connection Name:"), 192, 78, 217, 22);
    m_entryCaption->setFont(narrow(19, true));
    m_entryCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_connectionName =
        label(QStringLiteral("connectionName"), QStringLiteral("(none)"), 192, 102, 217, 15);
    m_connectionName->setFont(narrow(13, false));
    m_connectionName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_alarmCaption =
        label(QStringLiteral("alarmCaption"), QStringLiteral("Alarm Set For:"), 208, 38, 185, 22);
    m_alarmCaption->setFont(narrow(19, true));
    m_alarmCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_alarmTimeLabel =
        label(QStringLiteral("alarmTimeLabel"), QStringLiteral("(not set)"), 200, 62, 201, 15);
    m_alarmTimeLabel->setFont(narrow(13, false));
    m_alarmTimeLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // The page arrows are Unicode arrows, drawn in a font that has them.
    QFont arrows(QStringLiteral("DejaVu Sans"));
    arrows.setPixelSize(21);
    m_downArrow = label(QStringLiteral("downArrow"), QString(QChar(0x2193)), 372, 128, 17, 23);
    m_downArrow->setFont(arrows);
    m_downArrow->setCursor(Qt::PointingHandCursor);
    m_upArrow = label(QStringLiteral("upArrow"), QString(QChar(0x2191)), 372, 14, 17, 23);
    m_upArrow->setFont(arrows);
    m_upArrow->setCursor(Qt::PointingHandCursor);
    m_upArrow->hide();
    connect(&alarmClock, &AlarmClock::textChanged, m_alarmTimeLabel, &QLabel::setText);
    connect(&m_extras, &Extras::lightChanged, this, [this](int n) { drawLight(n); });
    connect(&m_extras, &Extras::slotChanged, this, &MiddlePanel::showExtra);
}

void MiddlePanel::buildExtrasPages() {
    if (m_webPagesHeading) return;
    QWidget* const window = &m_window;
    auto label = [window](const QString& name, const QString& text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, window);
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
        auto* light =
            new SkinImage(window, QStringLiteral("extraLight%1").arg(n), 214, top, 18, 18);
        light->setCursor(Qt::PointingHandCursor);
        light->makeButton(QStringLiteral("Extra %1").arg(n));
        light->setEnabled(false);
        light->hide();
        light->onMouseDown = [this, n](Qt::MouseButton) {
            m_window.handle([this, n] { toggleExtra(n); });
        };
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
        m_downArrow, [this](Qt::MouseButton) { m_window.handle([this] { pressDownArrow(); }); },
        [this](Qt::MouseButton) { m_window.handle([this] { releaseDownArrow(); }); });
    MouseHooks::install(
        m_upArrow, [this](Qt::MouseButton) { m_window.handle([this] { pressUpArrow(); }); },
        [this](Qt::MouseButton) { m_window.handle([this] { releaseUpArrow(); }); });
}

void MiddlePanel::showEntryName(const QString& entry) {
    m_connectionName->setText(entry);
}

SkinImage* MiddlePanel::extraLight(int n) const {
    return n >= 1 && n <= Extras::kSlots ? m_extraLights[n - 1] : nullptr;
}

QLabel* MiddlePanel::extraNameLabel(int n) const {
    return n >= 1 && n <= Extras::kSlots ? m_extraNames[n - 1] : nullptr;
}

void MiddlePanel::drawLight(int n) {
    extraLight(n)->drawFace(m_lightFaces, m_extras.isOn(n) ? 1 : 0);
}

void MiddlePanel::showExtra(int n) {
    const bool hasPath = !m_extras.slot(n).path.isEmpty();
    extraNameLabel(n)->setText(hasPath ? m_extras.slot(n).name : QStringLiteral("Not Set Yet"));
    extraLight(n)->setEnabled(hasPath);
}

void MiddlePanel::toggleExtra(int n) {
    m_window.playClick();
    m_extras.toggle(n);
}

void MiddlePanel::hideContents() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_entryCaption, m_connectionName, m_alarmCaption,
                                         m_alarmTimeLabel, m_webPagesHeading, m_programsHeading})
        w->hide();
    for (int n = 1; n <= Extras::kSlots; ++n) {
        extraLight(n)->hide();
        extraNameLabel(n)->hide();
    }
}

void MiddlePanel::showInformationPage() {
    hideContents();
    showInformationAgain();
    m_upArrow->move(kUpArrowPlace);
}

void MiddlePanel::showInformationAgain() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_entryCaption, m_connectionName, m_alarmCaption, m_alarmTimeLabel, m_downArrow})
        w->show();
    m_upArrow->hide();
}

void MiddlePanel::hideArrows() {
    m_downArrow->hide();
    m_upArrow->hide();
}

void MiddlePanel::setArrowsEnabled(bool enabled) {
    m_downArrow->setEnabled(enabled);
    m_upArrow->setEnabled(enabled);
}

std::array<QWidget*, 3> MiddlePanel::pagingControls() const {
    return {m_downArrow, m_upArrow, extraLight(1)};
}

void MiddlePanel::showWebPagesPage() {
    hideContents();
    m_webPagesHeading->show();
    for (int n = 1; n <= 4; ++n) {
        extraLight(n)->show();
        extraNameLabel(n)->show();
    }
    m_downArrow->show();
    m_upArrow->show();
}

void MiddlePanel::showProgramsPage() {
    hideContents();
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
void MiddlePanel::pressDownArrow() {
    m_downArrow->move(kDownArrowPlace + QPoint(1, 1));
    m_window.playClick();
    if (!m_upArrow->isHidden())
        showProgramsPage();
    else
        showWebPagesPage();
}

void MiddlePanel::releaseDownArrow() {
    m_downArrow->move(kDownArrowPlace);
}

void MiddlePanel::pressUpArrow() {
    m_upArrow->move(kUpArrowPlace + QPoint(1, 1));
    m_window.playClick();
    if (!m_downArrow->isHidden())
        showInformationPage();
    else
        showWebPagesPage();
}

void MiddlePanel::releaseUpArrow() {
    m_upArrow->move(kUpArrowPlace);
}

}  // namespace obu
