#pragma once
#include <QList>
#include <QString>

#include "platform/Shell.h"

namespace obu::test {

// Records every program started and document opened, and answers with set
// results; nothing is started.
class RecordingShell : public Shell {
public:
    struct Call {
        enum Kind { WinExec, ShellExecute } kind = WinExec;
        QString commandLine;  // WinExec
        QObject* owner = nullptr;
        QString verb, file, parameters, directory;  // ShellExecuteA
        int showCmd = 0;
    };

    unsigned WinExec(const QString& commandLine, int showCmd) override;
    qintptr ShellExecuteA(QObject* owner, const QString& verb, const QString& file,
                          const QString& parameters, const QString& directory,
                          int showCmd) override;

    QList<Call> calls;
    unsigned winExecResult = kWinExecStarted;
    qintptr shellExecuteResult = kShellExecuteStarted;
};

}  // namespace obu::test
