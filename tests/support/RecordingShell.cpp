#include "tests/support/RecordingShell.h"

namespace obu::test {

unsigned RecordingShell::startCommandLine(const QString& commandLine, int showCmd) {
    Call call;
    call.kind = Call::CommandLine;
    call.commandLine = commandLine;
    call.showCmd = showCmd;
    calls.append(call);
    return commandLineResult;
}

qintptr RecordingShell::openWithDefaultAction(QObject* owner, const QString& verb,
                                              const QString& file, const QString& parameters,
                                              const QString& directory, int showCmd) {
    Call call;
    call.kind = Call::Open;
    call.owner = owner;
    call.verb = verb;
    call.file = file;
    call.parameters = parameters;
    call.directory = directory;
    call.showCmd = showCmd;
    calls.append(call);
    return openResult;
}

}  // namespace obu::test
