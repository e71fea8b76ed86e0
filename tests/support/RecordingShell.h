#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "platform/Shell.h"

namespace obu::test {

// Records every program started and target opened, and answers with set
// outcomes; nothing is started.
class RecordingShell : public Shell {
public:
    struct Call {
        enum Kind { Start, Open } kind = Start;
        QStringList command;  // start
        QString target;       // open
    };

    Outcome start(const QStringList& command) override {
        calls.append({Call::Start, command, {}});
        return startOutcome;
    }
    Outcome open(const QString& target) override {
        calls.append({Call::Open, {}, target});
        return openOutcome;
    }

    QList<Call> calls;
    Outcome startOutcome = Outcome::Started;
    Outcome openOutcome = Outcome::Started;
};

}  // namespace obu::test
