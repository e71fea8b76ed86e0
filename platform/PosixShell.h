#pragma once
#include <QStringList>

#include "platform/Shell.h"

namespace obu {

// Shell on Linux. Programs are started with execve, never through /bin/sh,
// as a grandchild that is handed to init at once, so it outlives this program
// and leaves no zombie behind. The start is checked: a program that cannot be
// executed is reported by the outcome, not lost. The child gets a session of
// its own, default signal handling, /dev/null for input, and none of this
// program's open files (such as the lock of the running copy).
class PosixShell : public Shell {
public:
    Outcome start(const QStringList& command) override;
    Outcome open(const QString& target) override;

    // Starts `program` (a path) with argv = `arguments` (argv[0] first) in
    // `directory` (empty: this program's). Returns 0 once it runs, else the
    // errno of the failure.
    static int spawnDetached(const QString& program, const QStringList& arguments,
                             const QString& directory);

    // The full path of an executable regular file named `name`: as it is when it
    // holds a '/', otherwise searched on PATH. Empty when there is none.
    static QString findProgram(const QString& name);
};

}  // namespace obu
