target_sources(obu_core PRIVATE
    WebPageOpener.h WebPageOpener.cpp
)
# The search for the system's dial-up window.
target_sources(obu_gui PRIVATE
    DialUpWindowMinimizer.cpp
)

# The user guide goes beside the program, where the tray menu's Help finds it.
