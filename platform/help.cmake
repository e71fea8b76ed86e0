# The help viewer: the interface joins obu_core, the window that shows the help
# file and its backend obu_gui.
target_sources(obu_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Help.h)
target_sources(obu_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/QtHelp.h
    ${CMAKE_CURRENT_LIST_DIR}/QtHelp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.h
    ${CMAKE_CURRENT_LIST_DIR}/HelpWindow.cpp
)
