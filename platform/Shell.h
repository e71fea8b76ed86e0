#pragma once
#include <QString>
#include <QtGlobal>

class QObject;

namespace obu {

// Starting programs and opening documents, pages and folders.
//
// Command lines and parameters are written the Windows way and split by its
// rules (CommandLine.h) into a program and its arguments, which are handed to
// the program as they are: nothing in them is ever read by a command shell.
// Started programs are independent of this one: they outlive it.
//
// The show state has no meaning for a program started on Linux (its windows
// show as the desktop places them); it is accepted and recorded, not acted on.
class Shell {
public:
    // Show states.
    static constexpr int kShowHidden = 0;
    static constexpr int kShowNormal = 1;
    static constexpr int kShowAsItIs = 5;
    static constexpr int kShowRestored = 9;

    // Results below 32: the failures.
    static constexpr int kOutOfResources = 0;
    static constexpr int kFileNotFound = 2;
    static constexpr int kFolderNotFound = 3;
    static constexpr int kAccessDenied = 5;
    static constexpr int kOutOfMemory = 8;
    static constexpr int kNotAProgram = 11;
    static constexpr int kNoApplication = 31;
    // What each call gives on success: callers take any value above 31
    // (a command line) or above 32 (an open) for one.
    static constexpr unsigned kCommandLineStarted = 33;
    static constexpr qintptr kOpened = 42;

    virtual ~Shell() = default;

    // Starts the program that begins the command line, with the rest of the
    // line as its arguments. The program is a path, or a bare name looked up
    // on PATH. Returns more than 31 once the program runs; otherwise 2 (no such
    // program), 3 (its folder does not exist), 5 (not allowed), 11 (not a
    // program) or 0.
    virtual unsigned startCommandLine(const QString& commandLine, int showCmd) = 0;

    // Opens `file` with the default action (`verb` empty or "open"):
    // - an executable file, or a bare name of a program on PATH, is started
    //   with `parameters` split into its arguments;
    // - anything else (a document, a folder, a URL such as https://...) goes to
    //   its default application through xdg-open, as one argument;
    // `directory`, when given, is the started program's working folder.
    // Returns more than 32 once started; otherwise 2 (no such file),
    // 3 (no such folder), 5 (not allowed), 11 (not a program), 31 (no
    // application for it, or a verb other than open/explore) or 0. The owner
    // window has no role here.
    virtual qintptr openWithDefaultAction(QObject* owner, const QString& verb, const QString& file,
                                          const QString& parameters, const QString& directory,
                                          int showCmd) = 0;
};

}  // namespace obu
