#include "app/HeadlessDialogs.h"

#include <cstdio>

#include "platform/PrintableText.h"

namespace obu {

MsgResult HeadlessDialogs::messageBox(const QString& text, const QString& caption, MsgIcon,
                                      MsgButtons buttons) {
    const MsgResult answer = defaultAnswer(buttons);
    const char* answered = answer == MsgResult::Yes ? "Yes" : "OK";
    // A box names files and entries: on a terminal, none of their control characters act.
    std::printf("[message box] %s: %s [%s]\n", printableText(caption).toLocal8Bit().constData(),
                printableText(text).toLocal8Bit().constData(), answered);
    std::fflush(stdout);
    return answer;
}

QString HeadlessDialogs::openFile(const OpenFileRequest&) {
    return {};
}

}  // namespace obu
