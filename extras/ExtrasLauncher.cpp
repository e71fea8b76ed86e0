// Starting the extras after a connection (and from the tray menu): the web
// pages in the default browser, then the programs, in slot order.
#include "core/MainWindow.h"
#include "core/Program.h"
#include "extras/BrowserCommand.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "shell/SplashScreen.h"

namespace obu {
namespace {

// Why a start failed, from the shell's result.
QString failureText(qintptr result) {
    switch (result) {
        case Shell::ERROR_FILE_NOT_FOUND:
            return QStringLiteral("file not found");
        case Shell::ERROR_PATH_NOT_FOUND:
            return QStringLiteral("folder not found");
        case Shell::SE_ERR_ACCESSDENIED:
            return QStringLiteral("access denied");
        case Shell::ERROR_BAD_FORMAT:
            return QStringLiteral("not a program");
        case Shell::SE_ERR_NOASSOC:
            return QStringLiteral("no application for it");
        default:
            return QStringLiteral("out of resources");
    }
}

}  // namespace

void MainWindow::LaunchExtras() {
    WriteLogLine(QStringLiteral("Launching extras"));
    Platform& p = platform();

    bool fromDesktopEntry = false;
    const QString registered =
        p.registry
            ? p.registry
                  ->defaultValue(QStringLiteral("\\HTTP\\shell\\open\\command"), &fromDesktopEntry)
                  .value_or(QString())
            : QString();
    const BrowserCommand browser(registered, fromDesktopEntry);

    // A start that failed is logged as such: a " launched" line for a program
    // that never ran would send the user looking in the wrong place.
    auto logStart = [this](const QString& name, bool started, qintptr result) {
        WriteLogLine(started ? name + QStringLiteral(" launched")
                             : name + QStringLiteral(" could not be launched (") +
                                   failureText(result) + u')');
    };
    auto logTooLong = [this](const QString& name, const QString& what) {
        WriteLogLine(name + QStringLiteral(" could not be launched (its ") + what +
                     QStringLiteral(" is longer than %1 characters)").arg(kMaxFieldText));
    };
    // The status line is painted at once: the waits that follow would keep it
    // from being painted before the next text replaces it.
    auto showStatus = [this](const QString& text) {
        Status2->setText(text.left(kMaxFieldText));
        Status2->repaint();
    };

    for (int n = 1; n <= 4; ++n) {
        if (!ExtraOn[n]) continue;
        const TExtraSlot& slot = ExtrasTable[n];
        // The browser gets time to come up before the next page is handed to it.
        p.clock->sleep(3000);
        showStatus(QStringLiteral("Launching Webpage: ") + slot.SlotName);
        if (slot.PathCut) {
            logTooLong(slot.SlotName, QStringLiteral("address"));
            continue;
        }
        qintptr result = 0;
        bool started = false;
        if (p.shell) {
            const QString commandLine = browser.commandLineFor(slot.SlotPath);
            if (!commandLine.isEmpty()) {
                result = p.shell->WinExec(commandLine, Shell::SW_SHOWNORMAL);
                started = result > 31;
            } else {
                // No browser is registered for web addresses: the desktop's
                // opener may still know one.
                result = p.shell->ShellExecuteA(program().splashScreen, QString(), slot.SlotPath,
                                                QString(), QString(), Shell::SW_SHOWNORMAL);
                started = result > 32;
            }
        }
        logStart(slot.SlotName, started, result);
    }

    for (int n = 5; n <= 8; ++n) {
        if (!ExtraOn[n]) continue;
        const TExtraSlot& slot = ExtrasTable[n];
        showStatus(QStringLiteral("Launching Program: ") + slot.SlotName);
        if (slot.PathCut) {
            logTooLong(slot.SlotName, QStringLiteral("file name"));
            continue;
        }
        qintptr result = 0;
        if (p.shell)
            result = p.shell->ShellExecuteA(program().splashScreen, QString(), slot.SlotPath,
                                            QString(), QString(), Shell::SW_SHOW);
        logStart(slot.SlotName, result > 32, result);
    }

    // Whoever asked for the extras, the window then goes to the tray.
    if (program().trayMenu->minimizeOnConnectOption->isChecked())
        setWindowState(TWindowState::wsMinimized);
}

}  // namespace obu
