# Pictures of the skin: JPEG decoding through libjpeg. The imported targets are
# global because obu_gui links them from the top-level folder.
find_package(JPEG REQUIRED GLOBAL)

target_sources(obu_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/JpegImage.h
    ${CMAKE_CURRENT_LIST_DIR}/JpegImage.cpp
)
target_link_libraries(obu_gui PRIVATE JPEG::JPEG)
