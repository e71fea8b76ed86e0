target_sources(obu_core PRIVATE
    Shell.h
    PosixShell.h PosixShell.cpp
)
