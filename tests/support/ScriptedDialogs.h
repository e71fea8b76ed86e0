#pragma once
#include <deque>
#include <functional>
#include <vector>

#include "platform/Dialogs.h"

namespace obu::test {

// Records every box (caption, text, icon, buttons) and answers it from a
// script, or with the default button. A box can be held "open" for a while:
// the hook runs inside the box, typically advancing virtual time so that
// timers fire under it, as they do under a real modal box.
class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        QString caption;
        QString text;
        MsgIcon icon;
        MsgButtons buttons;
        MsgResult answer;
    };

    MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    QString openFile(const OpenFileRequest& request) override;

    void queueAnswer(MsgResult answer) { m_answers.push_back(answer); }
    void queueFile(const QString& file) { m_files.push_back(file); }
    // Runs while each box is open.
    void setWhileOpen(std::function<void(const Box&)> hook) { m_whileOpen = std::move(hook); }

    const std::vector<Box>& boxes() const { return m_boxes; }
    std::vector<OpenFileRequest> fileRequests;
    void clear() { m_boxes.clear(); }

private:
    std::vector<Box> m_boxes;
    std::deque<MsgResult> m_answers;
    std::deque<QString> m_files;
    std::function<void(const Box&)> m_whileOpen;
};

}  // namespace obu::test
