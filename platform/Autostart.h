#pragma once
#include <QString>

namespace obu {

// The desktop session's autostart entry for the program, named after its
// application id: $XDG_CONFIG_HOME/autostart/org.obu.Linekeeper.desktop.
QString autostartEntryPath();

// The program the entry starts for a copy in `programFolder` (with a trailing
// '/'): an installed copy (<prefix>/lib/obu/ holding obu.installed) by its
// link <prefix>/bin/obu, which stays the same across upgrades; any other copy
// by its own path.
QString autostartProgram(const QString& programFolder);

// Writes the entry, which starts `program` (and is skipped by the session
// while `program` is missing), or removes it; the entry of older versions
// (obu.desktop) goes either way, so the program never starts twice. Returns a sentence
// for the user, and false with the reason when the file could not be written
// or removed (the file is named).
bool setAutostart(bool on, const QString& program, QString& message);

// `program` as the Exec key of a desktop entry holds it: as it is when it
// needs no quoting, else in double quotes with ", `, $ and \ escaped; '%'
// doubled; then the backslashes of the string value doubled.
QString desktopExecProgram(const QString& program);

}  // namespace obu
