#pragma once

class QWidget;

namespace obu {

// Keeps a window off the taskbar and the pager: the program is reached
// through its tray icon, and a taskbar button would only duplicate it.
// Does nothing where there is no X server.
void keepOffTaskbar(QWidget* window);

// Asks the window manager for a title bar and a border with no buttons at all
// (no close box, no system menu): the window can only be moved. Qt alone
// cannot say this: without a button it asks for every function.
void titleBarWithoutButtons(QWidget* window);

}  // namespace obu
