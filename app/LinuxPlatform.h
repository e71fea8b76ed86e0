#pragma once
#include <memory>

#include "dialup/CombinedDialUpService.h"
#include "dialup/networkmanager/NetworkManagerService.h"
#include "dialup/phonebook/LineService.h"
#include "platform/DataFolders.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

namespace obu {

// The one place that builds the program's Linux backends that need no
// display (Qt Core and D-Bus only) and fills a Platform with them: the keeper
// without windows uses it whole, the windowed program adds the desktop's
// (app/DesktopPlatform), and a benchmark or an end-to-end helper puts a double
// in place of a member of platform() where it must not reach the real system
// (start programs). Without a desktop there is no tray icon, help viewer or
// other programs' windows: those members stay null.
class LinuxPlatform {
public:
    struct Options {
        QString programFolder;    // with a trailing '/'
        DataFolders dataFolders;  // where obu.ini and log.txt live
        bool headless = false;    // the log echoed to standard output
        LineService::Paths lines = LineService::Paths::fromEnvironment();
    };

    // dialogs: the message boxes; without them, each box is printed and
    // answered with its default button (app/HeadlessDialogs).
    explicit LinuxPlatform(const Options& options, std::unique_ptr<Dialogs> dialogs = nullptr);
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    Platform& platform() { return m_platform; }
    LineService& lines();
    NetworkManagerService& networkManager();
    // The phone book and NetworkManager as one: the program's dial-up service.
    CombinedDialUpService& dialUp();

private:
    struct Backends;
    std::unique_ptr<Backends> m_backends;
    Platform m_platform;
};

}  // namespace obu
