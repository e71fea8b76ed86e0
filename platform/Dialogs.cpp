#include "platform/Dialogs.h"

namespace obu {

QString Dialogs::errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void Dialogs::errorBox(const QString& applicationTitle, const QString& message) {
    messageBox(errorBoxText(message), applicationTitle, MsgIcon::Error, MsgButtons::Ok);
}

MsgResult Dialogs::defaultAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
            return MsgResult::Yes;
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            return MsgResult::Ok;
    }
    return MsgResult::Ok;
}

}  // namespace obu
