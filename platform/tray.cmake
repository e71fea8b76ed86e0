# The notification-area icon: the shell's interface and its Linux backend.
# Icons are pictures, so both need Qt's GUI part.
target_sources(obu_gui PRIVATE
    TrayShell.h TrayShell.cpp
    QtTrayShell.h QtTrayShell.cpp
)
