#pragma once
#include <QString>

namespace obu {

// The desktop session's autostart entry for the program:
// $XDG_CONFIG_HOME/autostart/obu.desktop (~/.config/autostart/obu.desktop).
QString autostartEntryPath();

// Writes the entry, which starts `program`, or removes it. Returns a sentence
// for the user, and false with the reason when the file could not be written
// or removed (the file is named).
bool setAutostart(bool on, const QString& program, QString& message);

// `program` as the Exec key of a desktop entry holds it: as it is when it
// needs no quoting, else in double quotes with ", `, $ and \ escaped; '%'
// doubled; then the backslashes of the string value doubled.
QString desktopExecProgram(const QString& program);

}  // namespace obu
