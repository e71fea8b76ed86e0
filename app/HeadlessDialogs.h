#pragma once
#include "platform/Dialogs.h"

namespace obu {

// Without a screen nobody can press a button: each box is printed to standard
// output and answered with its default button at once.
class HeadlessDialogs : public Dialogs {
public:
    MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    QString openFile(const OpenFileRequest& request) override;
};

}  // namespace obu
