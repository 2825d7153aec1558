# A Debian package of the installed programs (the window, the runner), with the window's desktop
# entry and icons: `cpack -G DEB` in the build folder, after building the release configuration.
set(CPACK_PACKAGE_NAME "strelvik")
set(CPACK_PACKAGE_VENDOR "Strelvik")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CPU benchmark that renders a fixed ray-traced scene")
set(CPACK_PACKAGE_CONTACT "Strelvik developers <strelvik@localhost>")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
# Library dependencies are read from the programs themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts are looked up by family at start-up; without them the built-in font is used.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-inter, fonts-jetbrains-mono")
set(CPACK_STRIP_FILES ON)
# Debian keeps each package's copyright and documents in /usr/share/doc/<package>.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/strelvik)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/strelvik)
include(CPack)
