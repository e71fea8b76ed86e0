#include "gui/extras/OpenDialog.h"

#include "platform/Dialogs.h"

namespace obu {

OpenDialog::OpenDialog(Dialogs& dialogs, QObject* owner) : QObject(owner), m_dialogs(dialogs) {}

bool OpenDialog::choose() {
    OpenFileRequest request;
    request.title = title;
    request.defaultExtension = defaultExtension;
    request.nameFilters = nameFilters;
    request.initialFolder = initialFolder;
    request.executablesOnly = executablesOnly;
    const QString chosen = m_dialogs.openFile(request);
    if (chosen.isEmpty()) return false;
    fileName = chosen;
    return true;
}

}  // namespace obu
