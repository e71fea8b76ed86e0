target_sources(obu_core PRIVATE
    Shell.h
    CommandLine.h CommandLine.cpp
    PosixShell.h PosixShell.cpp
)
