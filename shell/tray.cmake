# The tray icon component.
target_sources(obu_gui PRIVATE
    TTrayIcon.h TTrayIcon.cpp
)
