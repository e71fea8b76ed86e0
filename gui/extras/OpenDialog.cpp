#include "gui/extras/OpenDialog.h"

#include "platform/Dialogs.h"

namespace obu {

OpenDialog::OpenDialog(Dialogs& dialogs, QObject* owner) : QObject(owner), dialogs_(dialogs) {}

bool OpenDialog::Execute() {
    OpenFileRequest request;
    request.title = Title;
    request.defaultExtension = DefaultExt;
    request.nameFilters = Filter;
    request.initialFolder = InitialDir;
    request.executablesOnly = ExecutablesOnly;
    const QString chosen = dialogs_.openFile(request);
    if (chosen.isEmpty()) return false;
    FileName = chosen;
    return true;
}

}  // namespace obu
