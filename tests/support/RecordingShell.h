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
        enum Kind { CommandLine, Open } kind = CommandLine;
        QString commandLine;  // startCommandLine
        QObject* owner = nullptr;
        QString verb, file, parameters, directory;  // openWithDefaultAction
        int showCmd = 0;
    };

    unsigned startCommandLine(const QString& commandLine, int showCmd) override;
    qintptr openWithDefaultAction(QObject* owner, const QString& verb, const QString& file,
                                  const QString& parameters, const QString& directory,
                                  int showCmd) override;

    QList<Call> calls;
    unsigned commandLineResult = kCommandLineStarted;
    qintptr openResult = kOpened;
};

}  // namespace obu::test
