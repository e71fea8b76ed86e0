# Sounds and tunes: the interface joins obu_core, the SDL2_mixer backend obu_gui
# (whose link line is made in the top-level folder, hence GLOBAL).
find_package(SDL2 REQUIRED CONFIG GLOBAL)
find_package(SDL2_mixer REQUIRED CONFIG GLOBAL)

target_sources(obu_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Sound.h)
target_sources(obu_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SdlSound.h
    ${CMAKE_CURRENT_LIST_DIR}/SdlSound.cpp
)
target_link_libraries(obu_gui PRIVATE SDL2::SDL2 SDL2_mixer::SDL2_mixer)
