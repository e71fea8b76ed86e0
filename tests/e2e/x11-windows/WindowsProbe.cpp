// Reads commands, one a line, and answers each on one line:
//   find TITLE      -> "found 0xID" or "none"
//   minimize TITLE  -> "minimized 0xID", "failed 0xID" or "none"
//   watch TITLE     -> "watching" (or "cannot watch"), then, once a window with
//                      that title has come, "appeared 0xID after N looks",
//                      counting the searches that the changes asked for;
//                      "none" after 30 s
//   quit
// The search is the program's own (X11Windows).
#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/X11Windows.h"

namespace {

void watchFor(obu::X11Windows& windows, const QString& title) {
    QEventLoop loop;
    int looks = 0;
    obu::Windows::Handle window = 0;
    const bool watching = windows.watch([&] {
        ++looks;
        window = windows.findWindowTitled(title);
        if (window) loop.quit();
    });
    std::printf("%s\n", watching ? "watching" : "cannot watch");
    std::fflush(stdout);
    if (!watching) return;
    window = windows.findWindowTitled(title);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (!window) loop.exec();
    windows.unwatch();
    if (window)
        std::printf("appeared 0x%llx after %d looks\n", static_cast<unsigned long long>(window),
                    looks);
    else
        std::printf("none\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    obu::X11Windows windows;
    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t blank = line.find(' ');
        const std::string command = line.substr(0, blank);
        const QString title =
            blank == std::string::npos ? QString() : QString::fromStdString(line.substr(blank + 1));
        if (command == "quit") break;
        if (command == "watch") {
            watchFor(windows, title);
            std::fflush(stdout);
            continue;
        }
        const obu::Windows::Handle window = windows.findWindowTitled(title);
        if (command == "find") {
            if (window)
                std::printf("found 0x%llx\n", static_cast<unsigned long long>(window));
            else
                std::printf("none\n");
        } else if (command == "minimize") {
            if (!window)
                std::printf("none\n");
            else
                std::printf("%s 0x%llx\n", windows.minimizeWindow(window) ? "minimized" : "failed",
                            static_cast<unsigned long long>(window));
        } else {
            std::printf("unknown command\n");
        }
        std::fflush(stdout);
    }
    return 0;
}
