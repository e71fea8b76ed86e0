# The compiler and linker hardening that Debian builds its packages with
# (fortified string functions, stack protector, read-only relocations bound
# at start), taken from dpkg-buildflags where it is installed. Only those
# flags are taken: the optimisation and debug levels stay the build type's.
# A debug build is left alone, as fortification needs the optimiser.
option(OBU_HARDENING "Build with dpkg-buildflags' hardening flags" ON)
find_program(OBU_DPKG_BUILDFLAGS dpkg-buildflags)
if(OBU_HARDENING AND OBU_DPKG_BUILDFLAGS AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug"
   AND NOT OBU_SANITIZE AND NOT OBU_TSAN)
    set(OBU_HARDENING_FLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${OBU_DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        foreach(flag IN LISTS flags)
            if(flag MATCHES "^-D_FORTIFY_SOURCE|^-fstack-protector|^-fstack-clash-protection|^-fcf-protection")
                add_compile_options(${flag})
                list(APPEND OBU_HARDENING_FLAGS ${flag})
            elseif(flag MATCHES "^-Wl,-z,")
                add_link_options(${flag})
                list(APPEND OBU_HARDENING_FLAGS ${flag})
            endif()
        endforeach()
    endforeach()
    message(STATUS "Hardening: ${OBU_HARDENING_FLAGS}")
endif()
