#pragma once
#include <QObject>
#include <QStringList>

namespace obu {

class Dialogs;

// The open-file dialog component: its settings, and Execute, which asks the
// platform's dialog and keeps the chosen file.
class OpenDialog : public QObject {
    Q_OBJECT
public:
    explicit OpenDialog(Dialogs& dialogs, QObject* owner = nullptr);

    QString Title;
    // Added to a name typed without one. Programs on Linux have no extension,
    // so a dialog for programs leaves it empty.
    QString DefaultExt;
    // Qt name filters, the first one selected.
    QStringList Filter;
    // Shows, besides the folders, only the files that the user may run.
    bool ExecutablesOnly = false;
    QString InitialDir;
    QString FileName;

    // Shows the dialog; true when the user chose a file, which is then FileName.
    // A cancelled dialog leaves FileName as it was.
    bool Execute();

private:
    Dialogs& dialogs_;
};

}  // namespace obu
