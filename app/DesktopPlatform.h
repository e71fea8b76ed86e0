#pragma once
#include <memory>

#include "app/LinuxPlatform.h"

namespace obu {

// The Linux backends of the windowed program: those of LinuxPlatform, with
// the desktop's own on Qt Widgets and Xlib added (message boxes on the
// screen, the tray icon, the help viewer, other programs' windows).
class DesktopPlatform {
public:
    explicit DesktopPlatform(const LinuxPlatform::Options& options);
    ~DesktopPlatform();
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    Platform& platform() { return m_linux.platform(); }
    LinuxPlatform& backends() { return m_linux; }

private:
    struct Desktop;
    LinuxPlatform m_linux;
    std::unique_ptr<Desktop> m_desktop;
};

}  // namespace obu
