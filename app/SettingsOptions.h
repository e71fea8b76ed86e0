#pragma once

namespace obu {

struct Options;
class Settings;

// Writes what --entry, --user, --password-stdin and --connect-on-start give
// into the settings, in one replace of the file (so a unit or a script sets
// the keeper up without the windows, and nobody edits the CRLF file by
// hand). The user name and password not given are the ones last stored for
// that entry. Says what was stored on standard output and any problem on
// standard error; returns 0 when stored, else 1 with nothing changed.
int writeSettingsOptions(const Options& options, Settings& settings);

}  // namespace obu
