#pragma once
#include <QString>
#include <optional>

namespace obu {

struct Options {
    bool headless = false;
    std::optional<bool> autostart;  // --autostart on|off
    bool platformChosen = false;    // -platform given: no headless guess without a display
    // Settings written without the windows; then the program ends, or runs
    // on with --headless.
    std::optional<QString> entry;  // --entry NAME
    std::optional<QString> user;   // --user NAME
    bool passwordStdin = false;    // --password-stdin
    bool connectOnStart = false;   // --connect-on-start
    bool writesSettings() const { return entry || user || passwordStdin || connectOnStart; }
};

// Reads obu's command line before any application object exists (--help
// must work without a display). Qt's own options (-platform, -style, …) are
// accepted and left for QApplication. Returns the exit status when the
// program is to end at once (help, version, a mistake), else -1.
int parseOptions(int argc, char** argv, Options& options);

}  // namespace obu
