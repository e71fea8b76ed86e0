# The tray icon component.
target_sources(obu_gui PRIVATE
    TrayIcon.h TrayIcon.cpp
)
