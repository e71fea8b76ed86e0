#include "gui/desktop/HeadlessDialogs.h"

#include <cstdio>

namespace obu {

MsgResult HeadlessDialogs::messageBox(const QString& text, const QString& caption, MsgIcon,
                                      MsgButtons buttons) {
    const MsgResult answer = defaultAnswer(buttons);
    const char* answered = answer == MsgResult::Yes ? "Yes" : "OK";
    std::printf("[message box] %s: %s [%s]\n", caption.toLocal8Bit().constData(),
                text.toLocal8Bit().constData(), answered);
    std::fflush(stdout);
    return answer;
}

QString HeadlessDialogs::openFile(const OpenFileRequest&) {
    return {};
}

}  // namespace obu
