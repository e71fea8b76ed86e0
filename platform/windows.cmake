# Finding and minimizing other programs' windows through Xlib: a library of
# its own, so that the keeper without windows neither links nor maps Xlib.
# Its headers stay inside X11Windows.cpp: their macros (None, Bool, Status...)
# clash with Qt.
find_package(X11 REQUIRED)
target_sources(obu_core PRIVATE Windows.h)
add_library(obu_x11windows STATIC X11Windows.h X11Windows.cpp)
# The library by its path: an imported target found here would not be seen by
# the programs in other folders that link it.
target_include_directories(obu_x11windows PRIVATE ${X11_X11_INCLUDE_PATH})
target_link_libraries(obu_x11windows PUBLIC obu_core ${X11_X11_LIB})
# Nor may a unity build put them before another file.
set_source_files_properties(X11Windows.cpp TARGET_DIRECTORY obu_x11windows PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
