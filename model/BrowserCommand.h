#pragma once
#include <QString>

namespace obu {

// How the extras open a web page: the browser's registered open command for
// web addresses, turned into a command line for startCommandLine.
//
// The classic form is a program followed by switches, the first of which
// begins with a dash ("C:\...\browser.exe" -nohome "%1"). For it the command
// is cut before its first dash, and the address follows after one blank: the
// quoted path, two blanks and the address. The switches and the placeholder go.
//
// Two forms do not fit that cut, and the commands that the desktop's MIME
// database gives are nearly always one of them:
//   - no dash at all:               "/usr/bin/browser" "%1"
//   - a dash inside the program:    /usr/lib/firefox-esr/firefox-esr "%1"
// The cut would give an empty text or half a path, and the page would not
// open. So is a command whose placeholder comes before its first switch, as
// the cut would leave the placeholder behind as a literal argument. These run
// whole instead: every placeholder (%1, %L, %l) becomes the address, and a
// command without one gets the address as its last argument.
//
// A command made from a desktop entry's Exec line (the XDG registry's) always
// runs whole, by the desktop entry's rules: its field codes, which the
// registry wrote as placeholders, receive the address and every other
// argument is kept. A Flatpak launcher's
//   /usr/bin/flatpak run --branch=stable --command=firefox org.mozilla.firefox @@u "%1" @@
// would otherwise be cut at "--branch" and open nothing.
//
// Either way the address reaches the browser as exactly one argument: it is
// quoted by the command-line rules where it holds blanks or quotes, so text
// typed as an address can never turn into further arguments. An address
// without such characters is written as it is.
class BrowserCommand {
public:
    explicit BrowserCommand(const QString& registeredCommand = {}, bool fromDesktopEntry = false);

    // No command is registered: there is no browser to start.
    bool isEmpty() const { return cut_.isEmpty() && whole_.isEmpty(); }
    // Whether the classic cut applies (for tests and the user guide).
    bool isCut() const { return !cut_.isEmpty(); }

    // The command line that opens `url`; empty when there is no browser, or
    // when the registered program's name cannot be written on a command line.
    QString commandLineFor(const QString& url) const;

private:
    QString cut_;
    QString whole_;
};

}  // namespace obu
