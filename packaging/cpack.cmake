# cpack -G DEB (run in the build folder): obu_<version>_<arch>.deb, with the
# libraries it needs found from the programs themselves (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME obu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Obu Linekeeper")
set(CPACK_PACKAGE_CONTACT "Obu Linekeeper maintainers <maintainers@obu.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps one dial-up connection up")
set(CPACK_PACKAGE_DESCRIPTION
    "Obu Linekeeper dials a phone-book entry with a stored user name and password,\nredials a busy line, dials again after a ten-second countdown when the line\ndrops, dials at an alarm time and hangs up after a chosen number of minutes.\nAfter each connection it opens web pages and starts programs of the user's\nchoice. It lives in a skinned window and a tray menu.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The skin's captions; recommended: the tunes' instruments, the browser, the real modem's PPP.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# The sounds: SDL2_mixer is loaded when the first sound plays, so the
# libraries found from the programs cannot name it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsdl2-mixer-2.0-0, ppp, timgm6mb-soundfont, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
