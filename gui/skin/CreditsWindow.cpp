#include "gui/skin/CreditsWindow.h"

#include <QMouseEvent>

#include "gui/program/ProgramModel.h"
#include "gui/skin/JpegImage.h"
#include "gui/skin/SkinPicture.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"

namespace obu {

const QStringList& CreditsWindow::creditLines() {
    // Roles first, then who filled them: the parts of the program that made it.
    static const QStringList lines = {QStringLiteral("Lead Programmer"),
                                      QStringLiteral("The Application Core"),
                                      QString(),
                                      QStringLiteral("Graphics Design"),
                                      QStringLiteral("The Asset Generator"),
                                      QString(),
                                      QStringLiteral("Quality Assurance"),
                                      QStringLiteral("The Unit Tests"),
                                      QStringLiteral("The Whole-Program Tests"),
                                      QStringLiteral("The End-to-End Tests"),
                                      QStringLiteral("The Sanitizer Runs"),
                                      QStringLiteral("The INI Fuzzer"),
                                      QStringLiteral("The Crash Test"),
                                      QStringLiteral("The Benchmarks"),
                                      QString(),
                                      QStringLiteral("Music composed by:"),
                                      QStringLiteral("The Tune Generator")};
    return lines;
}

CreditsWindow::CreditsWindow(ProgramModel& program) : Form(program, QString(), 305, 398) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(13);

    const Platform& p = program.platform();
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setGeometry(0, 0, 303, 235);

    m_heading = new QLabel(QStringLiteral("The OBU Production Team:"), this);
    m_heading->setObjectName(QStringLiteral("heading"));
    m_heading->setGeometry(16, 224, 265, 13);
    m_heading->setAlignment(Qt::AlignCenter);
    m_heading->setFont(font);
    m_heading->setAttribute(Qt::WA_TranslucentBackground);

    m_scrollPanel = new QWidget(this);
    m_scrollPanel->setObjectName(QStringLiteral("scrollPanel"));
    m_scrollPanel->setGeometry(16, 248, 265, 113);
    m_scrollPanel->setAutoFillBackground(true);
    m_scrollPanel->setPalette(pal);
    m_creditsText = new QLabel(creditLines().join(QLatin1Char('\n')), m_scrollPanel);
    m_creditsText->setObjectName(QStringLiteral("creditsText"));
    m_creditsText->setGeometry(8, 112, 249, 280);
    m_creditsText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_creditsText->setFont(font);
    m_creditsText->setPalette(pal);
    // Never takes the focus or a selection; a click on it reaches the window.
    m_creditsText->setFocusPolicy(Qt::NoFocus);
    m_creditsText->setTextInteractionFlags(Qt::NoTextInteraction);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_picture, m_heading, m_scrollPanel, m_creditsText})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);

    centreOnScreen();

    // The tune is opened by its file name when the window is made.
    if (p.sound) m_tune = p.sound->openMusic(QStringLiteral("obupt.okx"));
    m_scrollTimer = std::make_unique<WindowTimer>(*p.loop, 50, false, WindowTimer::Grain::Fine);
    m_scrollTimer->setOnTimer([this] { scrollStep(); });
}

CreditsWindow::~CreditsWindow() {
    m_scrollTimer.reset();
    m_tune.reset();
}

void CreditsWindow::onShown() {
    // Decoded at the first show: a start that never shows the credits does
    // not hold the picture in memory.
    if (m_picture->pixmap().isNull()) {
        const QPixmap picture =
            loadSkinPicture(platform().programFolder + QStringLiteral("obu-credits.jpg"));
        if (!picture.isNull()) m_picture->setPixmap(picture);
    }
    m_creditsText->move(m_creditsText->x(), kShowTop);
    m_passDone = false;
    m_tunePlays = m_tune && m_tune->play();
    m_scrollTimer->setEnabled(true);
}

void CreditsWindow::scrollStep() {
    m_creditsText->move(m_creditsText->x(), m_creditsText->y() - 1);
    // Without a tune (no file, no sound device) the screen runs for one pass of
    // the text instead of vanishing at its first tick.
    const bool tuneOver = m_tunePlays ? !m_tune->isPlaying() : m_passDone;
    if (tuneOver && isVisible()) {
        closeByClick();
        return;
    }
    if (m_creditsText->y() <= kEndTop) {
        m_creditsText->move(m_creditsText->x(), kRestartTop);
        m_passDone = true;
    }
}

void CreditsWindow::closeByClick() {
    hideWindow();
}

void CreditsWindow::onHidden() {
    m_scrollTimer->setEnabled(false);
    if (m_tune) {
        m_tune->stop();
        m_tune->seekToStart();
    }
}

void CreditsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) handle([this] { closeByClick(); });
}

}  // namespace obu
