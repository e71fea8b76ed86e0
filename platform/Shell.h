#pragma once
#include <QString>
#include <QStringList>

namespace obu {

// Starting programs and opening files, folders and addresses.
//
// Programs get their arguments as a list, each handed over whole: nothing in
// them is ever read by a command shell. Started programs are independent of
// this one: they outlive it.
class Shell {
public:
    // What became of a start.
    enum class Outcome {
        Started,
        NotFound,        // no such program or file
        FolderNotFound,  // a folder on its path does not exist
        NotAllowed,      // no permission to run or read it
        NotAProgram,     // not a program the system can run (or its interpreter is missing)
        NoApplication,   // nothing on the desktop opens it
        OutOfResources,  // the system could not make another process
    };

    virtual ~Shell() = default;

    // Starts command[0], a path or a bare name looked up on PATH, with the
    // rest of the list as its arguments.
    virtual Outcome start(const QStringList& command) = 0;

    // Opens `target` as the desktop would on a double click:
    // - an executable file, or a bare name of a program on PATH, is started
    //   without arguments;
    // - anything else (a document, a folder, an address such as https://...)
    //   goes to its default application through xdg-open, as one argument.
    virtual Outcome open(const QString& target) = 0;
};

}  // namespace obu
