#include "tests/support/AppHarness.h"

#include <QRegularExpression>
#include <QTest>

#include "gui/main/MainWindow.h"
#include "gui/shell/SplashScreen.h"

namespace obu::test {

AppHarness::AppHarness() : profile(std::make_unique<IniFileProfile>()) {
    time.setDispatcher(&dispatcher);
    platform.clock = &time;
    platform.loop = &time;
    platform.dialogs = &dialogs;
    platform.dispatcher = &dispatcher;
    platform.profile = profile.get();
    platform.formats = &formats;
    platform.programFolder = folder.path();
    platform.tray = &tray;
    platform.sound = &sound;
    platform.registry = &registry;
    platform.shell = &shell;
    platform.windows = &windows;
    platform.help = &help;
    platform.wallClock = &time;
    platform.resume = &resume;
    lines = std::make_unique<LineService>(
        time, time, LineService::Paths{phoneBookPath(), folder.file(QStringLiteral("lines"))});
    // Virtual time: every entry dials the modem that lives inside the process.
    lines->setDeviceFactory(lines->simulatedModemFactory());
    modemCheck = std::make_unique<LineModemCheck>(*lines, folder.file(QStringLiteral("lock")));
    platform.dialUp = lines.get();
    platform.modemCheck = modemCheck.get();
}

AppHarness::~AppHarness() {
    destroy();
}

void AppHarness::start() {
    platform.profile = profile.get();
    m_program = std::make_unique<Program>(platform);
    time.runPosted();
}

void AppHarness::exit() {
    if (!m_program) return;
    m_program->splashScreen->closeWindow();
    destroy();
}

void AppHarness::destroy() {
    m_program.reset();
}

void AppHarness::click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      QPoint(widget->width() / 2, widget->height() / 2));
    time.runPosted();
}

MainWindow& AppHarness::main() {
    return *m_program->mainWindow;
}

QWidget& AppHarness::mainWidget() {
    return main();
}

SplashScreen& AppHarness::splash() {
    return *m_program->splashScreen;
}

// The menu belongs to the splash window, which lives as long as the program.
QAction* AppHarness::trayItem(const char* name) {
    return child<QAction>(splash(), name);
}

QMenu* AppHarness::trayMenu(const char* name) {
    return child<QMenu>(splash(), name);
}

QStringList AppHarness::logMessages() const {
    QStringList messages;
    static const QRegularExpression stamp(QStringLiteral("^\\[[^\\]]*\\]: "));
    for (const QString& line :
         QString::fromLatin1(logBytes()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        messages << QString(line).remove(stamp);
    return messages;
}

}  // namespace obu::test
