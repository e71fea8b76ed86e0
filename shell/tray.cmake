# The tray icon and its menu.
target_sources(obu_gui PRIVATE
    TrayIcon.h TrayIcon.cpp
    TrayMenu.h TrayMenu.cpp
)
