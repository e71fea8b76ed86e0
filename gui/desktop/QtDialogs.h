#pragma once
#include "platform/Dialogs.h"

namespace obu {

// QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
public:
    MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    QString openFile(const OpenFileRequest& request) override;
};

}  // namespace obu
