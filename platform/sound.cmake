# Sounds and tunes: the interface and its SDL2_mixer backend.
# The backend loads SDL2_mixer (and with it SDL2 and its codecs) at the first
# sound, so only the headers are taken here; the libraries must be installed.
find_package(SDL2 REQUIRED CONFIG GLOBAL)
find_package(SDL2_mixer REQUIRED CONFIG GLOBAL)

target_sources(obu_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Sound.h
    ${CMAKE_CURRENT_LIST_DIR}/SdlSound.h
    ${CMAKE_CURRENT_LIST_DIR}/SdlSound.cpp
)
target_include_directories(obu_core SYSTEM PRIVATE
    $<TARGET_PROPERTY:SDL2::SDL2,INTERFACE_INCLUDE_DIRECTORIES>
    $<TARGET_PROPERTY:SDL2_mixer::SDL2_mixer,INTERFACE_INCLUDE_DIRECTORIES>)
# The name the dynamic loader knows the library by, the same for every 2.x.
target_compile_definitions(obu_core PRIVATE OBU_SDL_MIXER_LIBRARY="libSDL2_mixer-2.0.so.0")
target_link_libraries(obu_core PRIVATE ${CMAKE_DL_LIBS})
