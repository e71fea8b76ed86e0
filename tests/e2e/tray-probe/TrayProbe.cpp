// Shows the tray icon component on the real notification area and prints
// what happens, one line each, for the end-to-end test of the tray:
//   available 0|1          at start: whether a notification area exists
//   event click            clicked
//   event dblclick         doubleClicked
//   event rightclick X Y   rightClicked, after the menu closed
//   chosen CAPTION         an entry of the menu was chosen
//   COMMAND 0|1            result of a command read from standard input
// Commands, one a line: hide, show, blue (new picture and tip), quit.
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSocketNotifier>
#include <cstdio>

#include "gui/desktop/QtTrayShell.h"
#include "gui/shell/TrayIcon.h"
#include "platform/QtEventLoop.h"

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QIcon square(const QColor& colour) {
    QPixmap picture(32, 32);
    picture.fill(colour);
    return QIcon(picture);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    obu::QtEventLoop loop;
    obu::QtTrayShell shell(loop);
    say(QStringLiteral("available %1").arg(shell.available() ? 1 : 0));

    QMenu menu;
    menu.setObjectName(QStringLiteral("PopupMenu1"));
    menu.setWindowTitle(QStringLiteral("tray probe menu"));
    for (const char* caption : {"Say hello", "Something else", "Exit"}) {
        QAction* item = menu.addAction(QString::fromLatin1(caption));
        QObject::connect(item, &QAction::triggered, [item] {
            say(QStringLiteral("chosen ") + item->text());
            if (item->text() == QLatin1String("Exit")) QCoreApplication::quit();
        });
    }

    obu::TrayIcon tray(shell);
    QObject::connect(&tray, &obu::TrayIcon::clicked, [] { say(QStringLiteral("event click")); });
    QObject::connect(&tray, &obu::TrayIcon::doubleClicked,
                     [] { say(QStringLiteral("event dblclick")); });
    QObject::connect(&tray, &obu::TrayIcon::rightClicked, [](QPoint at) {
        say(QStringLiteral("event rightclick %1 %2").arg(at.x()).arg(at.y()));
    });
    tray.setPopupMenu(&menu);
    tray.setPicture(square(QColor(200, 0, 0)));
    tray.setToolTip(QStringLiteral("OBU v1.3"));
    tray.setVisible(true);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        for (const QByteArray& raw : QByteArray(buffer, n).split('\n')) {
            const QByteArray command = raw.trimmed();
            if (command == "hide") {
                tray.setVisible(false);
                say(QStringLiteral("hide 1"));
            } else if (command == "show") {
                tray.setVisible(true);
                say(QStringLiteral("show 1"));
            } else if (command == "blue") {
                tray.setPicture(square(QColor(0, 0, 200)));
                tray.setToolTip(QStringLiteral("Blue probe, with a longer tooltip than before"));
                say(QStringLiteral("blue 1"));
            } else if (command == "quit") {
                QCoreApplication::quit();
            }
        }
    });

    const int status = QApplication::exec();
    say(QStringLiteral("ended"));
    return status;
}
