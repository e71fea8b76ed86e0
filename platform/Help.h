#pragma once
#include <QString>

namespace obu {

// The help viewer: shows the user guide (help.hlp) in a window of its own.
class Help {
public:
    virtual ~Help() = default;

    // Shows the contents of the help file and returns at once. False when the
    // file cannot be shown (it is missing, is no file, or cannot be read).
    virtual bool showContents(const QString& helpFile) = 0;
};

}  // namespace obu
