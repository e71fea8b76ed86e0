#pragma once
#include <QProcessEnvironment>
#include <QStringList>

#include "platform/Registry.h"

namespace obu {

// The folders of the XDG base directory and MIME application rules.
struct XdgDirs {
    QString dataHome;        // $XDG_DATA_HOME, else ~/.local/share
    QStringList dataDirs;    // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
    QString configHome;      // $XDG_CONFIG_HOME, else ~/.config
    QStringList configDirs;  // $XDG_CONFIG_DIRS, else /etc/xdg
    QStringList desktops;    // $XDG_CURRENT_DESKTOP in order, lower case
    QStringList path;        // $PATH, where bare program names of Exec lines are found

    // Relative folders in the variables are ignored, as the rules require.
    static XdgDirs fromEnvironment(
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
};

// The registry's file types and their open commands, read from the desktop's
// MIME database. Read afresh at every lookup, so a change of the default
// browser counts at once. Only these keys exist:
//
//   .<ext>                    default value: the MIME type that the
//                             shared-mime-info globs (mime/globs2, else
//                             mime/globs, in $XDG_DATA_HOME then
//                             $XDG_DATA_DIRS) give a file named so, e.g.
//                             ".HTM" -> "text/html"; the highest weight wins,
//                             then the earlier folder, then the longer
//                             pattern. The four web page extensions .htm,
//                             .html, .shtml, .shtm read as "text/html" where
//                             the database has no pattern for them (it has
//                             none for server-parsed pages).
//   <type>/<subtype>          the class of a MIME type, e.g. "text/html";
//   <scheme>                  the class of a URL scheme, e.g. "HTTP": the MIME
//                             type "x-scheme-handler/<scheme>".
//   <class>\shell
//   <class>\shell\open        exist when the class has an open command; no value.
//   <class>\shell\open\command
//                             default value: the default application's command
//                             line, in the Windows form described below.
//
// Keys under an extension (".htm\shell\open\command") do not exist: the
// database keeps commands only with types. Class keys have no default value.
//
// The default application of a type: the [Default Applications] entries of the
// mimeapps.list files in their order of precedence
//   $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME/applications,
//   $XDG_DATA_DIRS/applications
// where in each folder <desktop>-mimeapps.list (for each name in
// $XDG_CURRENT_DESKTOP) comes before mimeapps.list; the first listed
// application that is installed wins. Failing that, the [Added Associations]
// of the same files in the same order, less those named by
// [Removed Associations] in the same or a more important file; last, the
// mimeinfo.cache of each applications folder.
//
// An application is installed when its desktop file is found in the
// applications folders ("vendor-name.desktop" may also be vendor/name.desktop),
// is of type Application, is not Hidden, passes its TryExec, and the program of
// its Exec line exists.
//
// The command line made of the Exec line (after the quoting and escapes of the
// desktop entry rules): the program, with a bare name replaced by its full path
// on PATH and put in double quotes when it has blanks; then each argument,
// quoted by the Windows rules where needed; the field codes %u %U %f %F become
// "%1" (the placeholder for the page or file), %i %c %k and the deprecated
// codes are dropped with an argument they leave empty, and %% is a literal %.
// So "Exec=/opt/My Browser/browser --new-window %u" reads as
// "/opt/My Browser/browser" --new-window "%1"
class XdgRegistry : public Registry {
public:
    explicit XdgRegistry(XdgDirs dirs = XdgDirs::fromEnvironment());

    const XdgDirs& dirs() const { return dirs_; }

    // The MIME type for files with `extension` (dot included), or empty.
    QString mimeTypeForExtension(const QString& extension) const;
    // The desktop file of the type's default application, or empty.
    QString defaultApplication(const QString& mimeType) const;
    // The Windows command line for an Exec value; empty when its program is
    // not there (bare names are looked up on `path`) or cannot be written in
    // that form.
    static QString commandFromExec(const QString& exec, const QStringList& path);

protected:
    Key lookUp(const QString& normalizedPath) const override;

private:
    QStringList applicationFolders() const;
    QStringList mimeappsLists() const;
    QString findDesktopFile(const QString& id) const;
    // The open command of an installed application, or empty.
    QString commandOfApplication(const QString& id) const;
    // The open command of the type's default application, or empty.
    QString openCommand(const QString& mimeType, QString* desktopFile = nullptr) const;

    XdgDirs dirs_;
};

}  // namespace obu
