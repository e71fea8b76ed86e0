#include "tests/support/ScriptedDialogs.h"

namespace obu::test {

MsgResult ScriptedDialogs::messageBox(const QString& text, const QString& caption, MsgIcon icon,
                                      MsgButtons buttons) {
    MsgResult answer = defaultAnswer(buttons);
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    boxes_.push_back(Box{caption, text, icon, buttons, answer});
    if (whileOpen_) {
        const Box box = boxes_.back();
        whileOpen_(box);
    }
    return answer;
}

QString ScriptedDialogs::openFile(const OpenFileRequest& request) {
    fileRequests.push_back(request);
    if (files_.empty()) return {};
    QString file = files_.front();
    files_.pop_front();
    return file;
}

}  // namespace obu::test
