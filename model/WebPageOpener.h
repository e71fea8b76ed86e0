#pragma once
#include <QString>

class QObject;

namespace obu {

class Registry;
class Shell;

// Opens a web page in the default browser: finds the browser's command line
// among the web page file types of the registry, splits it into program and
// parameters, and starts the program with the page's address added.
class WebPageOpener {
public:
    // The addresses the program opens: its own page, the maker's page, and the
    // one a new component starts with.
    static const QString ProductPage;  // https://obu-linekeeper.example/
    static const QString MakerPage;    // https://vantor-studio.example/
    static const QString DefaultUrl;   // the product's page

    // `owner` is the window that started programs belong to.
    WebPageOpener(Registry& registry, Shell& shell, QObject* owner = nullptr);

    const QString& url() const { return url_; }
    void setUrl(const QString& value) { url_ = value; }

    // Opens url() in the default browser; true when the browser was started.
    //
    // Where the command names its program by a path ending in .exe, .bat or
    // .com (found from the end of the command, without regard to case, and only
    // where a program name can end: at the end, or before a blank or a quote),
    // that path is the program and the rest, trimmed of blanks and stripped of
    // its leading quotes, the parameters, to which a blank and url() are added:
    //   "C:\Program Files\browser.exe" -nohome "%1"
    //   -> program  C:\Program Files\browser.exe
    //      params    -nohome "" <url>
    // Case is kept: upper case serves only the search, as it would break a
    // Linux path.
    //
    // A command without such a path (every Linux command) is run whole: its
    // first token is the program, the rest its arguments, less those left empty
    // where a placeholder was removed, and url() is added as one more argument:
    //   "/opt/My Browser/browser" --new-window ""  ->  browser, --new-window, <url>
    // A command made from a desktop entry's Exec line runs by that entry's
    // rules instead: its field code receives url() and every other argument
    // (a Flatpak launcher's "@@u %u @@") is kept.
    bool open();

    // The browser's command line from the first of .HTM, .HTML, .SHTML, .SHTM
    // that gives one (its file type's shell\open\command, else its own), with
    // every "%" removed together with the character after it (a final "%"
    // stays). Empty when none gives one.
    QString findBrowserCommand() const;

private:
    // The registered command as it is, placeholders kept; fromDesktopEntry
    // tells whether it was made from a desktop entry's Exec line.
    QString registeredBrowserCommand(bool* fromDesktopEntry) const;
    Registry& registry_;
    Shell& shell_;
    QObject* owner_;
    QString url_;
};

}  // namespace obu
