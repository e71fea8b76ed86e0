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

// The desktop's default applications, read from its MIME associations.
// Read afresh at every lookup, so a change of the default browser counts at
// once. An address's application is the default one of the MIME type
// "x-scheme-handler/<scheme>", else of "text/html".
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
// Its command is its Exec line split by the desktop entry rules (quoting and
// escapes), the program's bare name replaced by its full path on PATH. The
// field codes %u %U %f %F take the address as one argument (every one of
// them, and every other argument stays, as a Flatpak launcher's
// "@@u %u @@" needs); %i %c %k and the deprecated codes are dropped with an
// argument they leave empty; %% is a literal %. A line without a field code
// gets the address as its last argument. So
// "Exec=/opt/My Browser/browser --new-window %u" opens an address as
//   /opt/My Browser/browser | --new-window | <address>
class XdgRegistry : public Registry {
public:
    explicit XdgRegistry(XdgDirs dirs = XdgDirs::fromEnvironment());

    const XdgDirs& dirs() const { return m_dirs; }

    QStringList commandFor(const QString& address) const override;

    // The desktop file of the type's default application, or empty.
    QString defaultApplication(const QString& mimeType) const;
    // The command of an Exec value for `address`; empty when its program is
    // not there (bare names are looked up on `path`) or is a field code.
    static QStringList commandFromExec(const QString& exec, const QString& address,
                                       const QStringList& path);

    // The desktop ids a mimeapps.list text gives a MIME type in each of its
    // groups, in their order.
    struct Associations {
        QStringList defaults;  // [Default Applications]
        QStringList added;     // [Added Associations]
        QStringList removed;   // [Removed Associations]
    };
    static Associations associationsIn(const QByteArray& mimeappsList, const QString& mimeType);
    // The Exec value of a desktop entry's text when it is an installed
    // application, else empty.
    static QString execOfEntry(const QByteArray& desktopEntry, const QStringList& path);

private:
    QStringList applicationFolders() const;
    QStringList mimeappsLists() const;
    QString findDesktopFile(const QString& id) const;
    // The Exec value of an installed application, or empty.
    QString execOfApplication(const QString& id) const;
    // The Exec value of the type's default application, or empty.
    QString openExec(const QString& mimeType, QString* desktopFile = nullptr) const;

    XdgDirs m_dirs;
};

}  // namespace obu
