// Reads commands, one a line, and answers each on one line:
//   find TITLE      -> "found 0xID" or "none"
//   minimize TITLE  -> "minimized 0xID", "failed 0xID" or "none"
//   quit
// The search is the program's own (X11Windows) with the dialog class the
// program asks for.
#include <QString>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/X11Windows.h"

int main() {
    obu::X11Windows windows;
    const QString dialogClass = QStringLiteral("#32770");
    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t blank = line.find(' ');
        const std::string command = line.substr(0, blank);
        const QString title =
            blank == std::string::npos ? QString() : QString::fromStdString(line.substr(blank + 1));
        if (command == "quit") break;
        const obu::Windows::Handle window = windows.FindWindowA(dialogClass, title);
        if (command == "find") {
            if (window)
                std::printf("found 0x%llx\n", static_cast<unsigned long long>(window));
            else
                std::printf("none\n");
        } else if (command == "minimize") {
            if (!window)
                std::printf("none\n");
            else
                std::printf("%s 0x%llx\n",
                            windows.PostMessageA(window, obu::Windows::WM_SYSCOMMAND,
                                                 obu::Windows::SC_MINIMIZE, 0)
                                ? "minimized"
                                : "failed",
                            static_cast<unsigned long long>(window));
        } else {
            std::printf("unknown command\n");
        }
        std::fflush(stdout);
    }
    return 0;
}
