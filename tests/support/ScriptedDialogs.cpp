#include "tests/support/ScriptedDialogs.h"

namespace obu::test {

MsgResult ScriptedDialogs::messageBox(const QString& text, const QString& caption, MsgIcon icon,
                                      MsgButtons buttons) {
    MsgResult answer = defaultAnswer(buttons);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_boxes.push_back(Box{caption, text, icon, buttons, answer});
    if (m_whileOpen) {
        const Box box = m_boxes.back();
        m_whileOpen(box);
    }
    return answer;
}

QString ScriptedDialogs::openFile(const OpenFileRequest& request) {
    fileRequests.push_back(request);
    if (m_files.empty()) return {};
    QString file = m_files.front();
    m_files.pop_front();
    return file;
}

}  // namespace obu::test
