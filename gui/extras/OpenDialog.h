#pragma once
#include <QObject>
#include <QStringList>

namespace obu {

class Dialogs;

// The open-file dialog component: its settings, and choose(), which asks the
// platform's dialog and keeps the chosen file.
class OpenDialog : public QObject {
    Q_OBJECT
public:
    explicit OpenDialog(Dialogs& dialogs, QObject* owner = nullptr);

    QString title;
    // Added to a name typed without one. Programs on Linux have no extension,
    // so a dialog for programs leaves it empty.
    QString defaultExtension;
    // Qt name filters, the first one selected.
    QStringList nameFilters;
    // Shows, besides the folders, only the files that the user may run.
    bool executablesOnly = false;
    QString initialFolder;
    QString fileName;

    // Shows the dialog; true when the user chose a file, which is then fileName.
    // A cancelled dialog leaves fileName as it was.
    bool choose();

private:
    Dialogs& m_dialogs;
};

}  // namespace obu
