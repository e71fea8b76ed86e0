#include "ui/CreditsWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "core/Program.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"
#include "ui/JpegImage.h"

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

CreditsWindow::CreditsWindow(Program& program) : Form(program, QString(), 305, 398) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(13);

    const Platform& p = program.platform();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 303, 235);
    const QImage picture = loadJpeg(p.programFolder + QStringLiteral("obu-credits.jpg"));
    if (!picture.isNull()) Image1->setPixmap(QPixmap::fromImage(picture));

    Label1 = new QLabel(QStringLiteral("The OBU Production Team:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 224, 265, 13);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(font);
    Label1->setAttribute(Qt::WA_TranslucentBackground);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(16, 248, 265, 113);
    Panel1->setAutoFillBackground(true);
    Panel1->setPalette(pal);
    Memo1 = new QLabel(creditLines().join(QLatin1Char('\n')), Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 112, 249, 280);
    Memo1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Memo1->setFont(font);
    Memo1->setPalette(pal);
    // Never takes the focus or a selection; a click on it reaches the window.
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setTextInteractionFlags(Qt::NoTextInteraction);
    for (QWidget* w : std::initializer_list<QWidget*>{Image1, Label1, Panel1, Memo1})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));

    // The tune is opened by its file name when the window is made.
    if (p.sound) MediaPlayer1 = p.sound->openMusic(QStringLiteral("obupt.okx"));
    PacingTimer1 = std::make_unique<PacingTimer>(*p.loop, *p.clock, p.pacingTimerDriver);
    PacingTimer1->setInterval(50);
    PacingTimer1->setThreadPriority(tpTimeCritical);
    PacingTimer1->setOnTimer([this](PacingTimer*) { PacingTimer1Timer(); });
}

CreditsWindow::~CreditsWindow() {
    PacingTimer1.reset();
    MediaPlayer1.reset();
}

void CreditsWindow::FormShow() {
    Memo1->move(Memo1->x(), kShowTop);
    passDone_ = false;
    tunePlays_ = MediaPlayer1 && MediaPlayer1->play();
    PacingTimer1->setEnabled(true);
}

void CreditsWindow::PacingTimer1Timer() {
    Memo1->move(Memo1->x(), Memo1->y() - 1);
    // Clicks and painting are handled during the scroll; a click may close the screen here.
    platform().loop->processMessages();
    // Without a tune (no file, no sound device) the screen runs for one pass of
    // the text instead of vanishing at its first tick.
    const bool tuneOver = tunePlays_ ? !MediaPlayer1->isPlaying() : passDone_;
    if (tuneOver && isVisible()) {
        CloseClick();
        return;
    }
    if (Memo1->y() <= kEndTop) {
        Memo1->move(Memo1->x(), kRestartTop);
        passDone_ = true;
    }
}

void CreditsWindow::CloseClick() {
    Hide();
}

void CreditsWindow::FormHide() {
    PacingTimer1->setEnabled(false);
    if (MediaPlayer1) {
        MediaPlayer1->stop();
        MediaPlayer1->seekToStart();
    }
}

void CreditsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) handle([this] { CloseClick(); });
}

}  // namespace obu
