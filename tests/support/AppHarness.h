#pragma once
#include <QMenu>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <stdexcept>

#include "dialup/ModemCheck.h"
#include "dialup/phonebook/LineService.h"
#include "gui/main/Program.h"
#include "platform/Dispatcher.h"
#include "platform/Formats.h"
#include "platform/IniFileProfile.h"
#include "platform/Platform.h"
#include "platform/ResumeSource.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/FakeWindows.h"
#include "tests/support/RecordingHelp.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingSound.h"
#include "tests/support/RecordingTrayShell.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VirtualTime.h"

namespace obu {
class MainWindow;
class SplashScreen;
}  // namespace obu

namespace obu::test {

// The whole program built from doubles: virtual time, scripted message boxes,
// and real files in a temporary program folder. Tests drive it as a user
// would and check what a user sees.
class AppHarness {
public:
    AppHarness();
    ~AppHarness();

    // Makes the seven windows (the program's start).
    void start();
    // Ends the program the way "Exit" does and destroys the windows.
    void exit();
    // Destroys the windows without closing (a program that was never closed).
    void destroy();
    bool running() const { return m_program != nullptr; }

    Program& program() { return *m_program; }
    MainWindow& main();
    SplashScreen& splash();
    // A control of the main window, found by the role its object name gives it.
    template <class Control = QWidget>
    Control* control(const char* role) {
        auto* found = mainWidget().findChild<Control*>(QLatin1String(role));
        if (!found) throw std::logic_error(std::string("the main window has no ") + role);
        return found;
    }

    // An item or a menu of the tray menu, found by its object name.
    QAction* trayItem(const char* name);
    QMenu* trayMenu(const char* name);
    // A control of a window, found by its object name.
    template <class Control = QWidget>
    static Control* child(const QObject& window, const char* name) {
        auto* found = window.findChild<Control*>(QLatin1String(name));
        if (!found) throw std::logic_error(std::string("no control named ") + name);
        return found;
    }

    // A user's click with the left button: press, click, release.
    void click(QWidget* widget);
    // Advances virtual time until the condition holds (false when maxMs ran out).
    bool advanceUntil(const std::function<bool()>& condition, std::int64_t maxMs = 60000,
                      std::int64_t stepMs = 10) {
        return time.advanceUntil(condition, maxMs, stepMs);
    }
    // Whether the log holds a line with this message.
    bool logged(const QString& message) const { return logMessages().contains(message); }

    // The log's lines without their time stamps, and its raw bytes.
    QStringList logMessages() const;
    QByteArray logBytes() const { return folder.read(QStringLiteral("log.txt")); }
    QByteArray iniBytes() const { return folder.read(QStringLiteral("obu.ini")); }
    void writeIni(const QByteArray& text) const { folder.write(QStringLiteral("obu.ini"), text); }

    TempFolder folder;
    VirtualTime time;
    ScriptedDialogs dialogs;
    Formats formats;
    std::unique_ptr<Profile> profile;
    Dispatcher dispatcher{dialogs, QStringLiteral("OBU v1.3")};
    // The real dial-up service on virtual time, with its own registry folder
    // and phone book (missing until a test writes one: the demo entries serve).
    std::unique_ptr<LineService> lines;
    std::unique_ptr<LineModemCheck> modemCheck;
    RecordingTrayShell tray{time};
    RecordingSound sound;
    // The browser's command, started programs and opened pages, other
    // programs' windows, and the help viewer. A test may put a real backend in
    // `platform` in place of one of them before start().
    FakeRegistry registry;
    RecordingShell shell;
    FakeWindows windows;
    RecordingHelp help;
    // The machine's wake from sleep: a test emits resume.resumed().
    ResumeSource resume;
    Platform platform;

    QString phoneBookPath() const { return folder.file(QStringLiteral("phonebook.pbk")); }
    void writePhoneBook(const QByteArray& text) const {
        folder.write(QStringLiteral("phonebook.pbk"), text);
    }

private:
    QWidget& mainWidget();

    std::unique_ptr<Program> m_program;
};

}  // namespace obu::test
