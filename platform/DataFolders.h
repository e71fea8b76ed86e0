#pragma once
#include <QString>

namespace obu {

// Where the settings (obu.ini) and the log (log.txt, log.1.txt, obu.lock) live.
// Both with a trailing '/'.
struct DataFolders {
    QString settings;
    QString log;
    // The files live beside the program: a portable copy, which keeps its
    // passwords in obu.ini rather than in the user's keyring.
    bool besideProgram = false;
};

// A copy in a folder that its user can write keeps its files beside itself, so
// a copied folder stays portable. An installed copy (the folder holds
// "obu.installed") or one in a folder the user cannot write uses
// $XDG_CONFIG_HOME/obu/ and $XDG_STATE_HOME/obu/ (~/.config and ~/.local/state
// when unset or not absolute), made 0700 when missing. A folder that cannot be
// made is still returned: the first write then fails with the file's name.
// Both are empty when such a copy has no home folder and no XDG folders to use.
DataFolders dataFolders(const QString& programFolder);

// The file that marks an installed copy.
inline constexpr const char* kInstalledMarker = "obu.installed";

}  // namespace obu
