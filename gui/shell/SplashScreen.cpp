#include "gui/shell/SplashScreen.h"

#include "gui/program/ProgramModel.h"
#include "gui/skin/JpegImage.h"
#include "gui/skin/SkinPicture.h"
#include "model/LineKeeper.h"
#include "platform/Platform.h"

namespace obu {

SplashScreen::SplashScreen(ProgramModel& program)
    : Form(program, QStringLiteral(" "), 322, 189), m_shownTime(*program.platform().loop, 5000) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    // The splash picture, sized to itself, under the version label.
    m_picture = new QLabel(this);
    const QPixmap splash =
        loadSkinPicture(program.platform().programFolder + QStringLiteral("obu-splash.jpg"));
    if (!splash.isNull()) {
        m_picture->setPixmap(splash);
        m_picture->setGeometry(QRect(QPoint(0, 0), splash.deviceIndependentSize().toSize()));
    }
    m_version = new QLabel(QStringLiteral("Version 1.3"), this);
    m_version->setGeometry(8, 122, 125, 23);
    m_version->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(21);
    m_version->setFont(font);
    QPalette labelPal = m_version->palette();
    labelPal.setColor(QPalette::WindowText, QColor(0, 128, 128));
    m_version->setPalette(labelPal);

    // The tray icon is there from the start.
    m_trayMenu = std::make_unique<TrayMenu>(program, this);

    centreOnScreen();
    m_shownTime.setOnTimer([this] { giveWayToMainWindow(); });
    m_shownTime.setEnabled(true);
    // Visible from its creation, and painted before the other windows are
    // built, which takes a while: the user sees the program at once.
    showWindow();
    program.platform().loop->letWindowsPaint([this] { return testAttribute(Qt::WA_Mapped); }, 500);
}

SplashScreen::~SplashScreen() {
    m_trayMenu.reset();
}

void SplashScreen::giveWayToMainWindow() {
    hideWindow();
    m_shownTime.setEnabled(false);
    emit mainWindowWanted();
    program().lineKeeper().connectOnStart();
}

}  // namespace obu
