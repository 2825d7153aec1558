# The Windows package: a zip of the programs and a short README, `cpack -G ZIP` in build/windows
# (scripts/test.sh's windows stage makes it). The programs are linked statically: the folder
# runs as it is, wherever it is unpacked; history.json is kept beside them when it is writable.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt DESTINATION bin RENAME README.txt)
set(CPACK_PACKAGE_NAME "strelvik")
set(CPACK_PACKAGE_VENDOR "Strelvik")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CPU benchmark that renders a fixed ray-traced scene")
set(CPACK_GENERATOR "ZIP")
set(CPACK_SYSTEM_NAME "win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
