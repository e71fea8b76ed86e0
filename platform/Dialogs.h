#pragma once
#include <QString>
#include <QStringList>

namespace obu {

enum class MsgIcon { None, Error, Warning, Information, Question };
enum class MsgButtons { Ok, OkCancel, YesNo };
// The button that closed a message box.
enum class MsgResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct OpenFileRequest {
    QString title;
    QString defaultExtension;  // "exe"
    QStringList nameFilters;   // Qt name filters, the first one selected
    QString initialFolder;
    // Lists, besides the folders, only the files that the user may run.
    bool executablesOnly = false;
};

// Message boxes, the default error box and the open-file dialog.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Modal message box; returns the button that closed it. Timers keep
    // ticking while it is open.
    virtual MsgResult messageBox(const QString& text, const QString& caption, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    // The open-file dialog; an empty result means the user cancelled.
    virtual QString openFile(const OpenFileRequest& request) = 0;

    // The default error box: the application title as caption, the stop
    // icon, OK, and the message with a full stop added when it ends in a
    // character above '.', so that a bare system text reads as a sentence.
    void errorBox(const QString& applicationTitle, const QString& message);
    static QString errorBoxText(const QString& message);

    // The button a box answers with when nobody is there to press one.
    static MsgResult defaultAnswer(MsgButtons buttons);
};

}  // namespace obu
