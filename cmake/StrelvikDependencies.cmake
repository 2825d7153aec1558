# Every dependency is looked up here, once, with one minimum version; the folders only link the
# targets. All come from Debian's packages (scripts/deps/*.txt). The Windows build (cross-built
# with mingw-w64) uses the system's own services instead of the Linux libraries, and Debian's
# header-only libraries through a folder of links that exposes nothing else of /usr/include:
# glibc's headers there would break the mingw build.
find_package(Threads REQUIRED)

if(WIN32)
  set(STRELVIK_WINDOWS_HEADERS ${CMAKE_BINARY_DIR}/debian-headers)
  file(MAKE_DIRECTORY ${STRELVIK_WINDOWS_HEADERS})
  foreach(folder nlohmann CLI stb)
    if(NOT IS_DIRECTORY /usr/include/${folder})
      message(FATAL_ERROR "/usr/include/${folder} not found: run scripts/install-deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${STRELVIK_WINDOWS_HEADERS}/${folder} SYMBOLIC)
  endforeach()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${STRELVIK_WINDOWS_HEADERS})
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${STRELVIK_WINDOWS_HEADERS})
  # The PNG writer's implementation is compiled in system/ (Debian ships no mingw libstb).
  # Both forms of the include work, as with pkg-config on Linux.
  add_library(PkgConfig::STB INTERFACE IMPORTED)
  target_include_directories(PkgConfig::STB SYSTEM INTERFACE ${STRELVIK_WINDOWS_HEADERS}/stb ${STRELVIK_WINDOWS_HEADERS})

  # Dear ImGui with its Win32 and Direct3D 11 backends, compiled from Debian's source package of
  # the version libimgui-dev has (scripts/fetch-imgui-source.sh unpacks it into the build tree).
  # Fetched here, by the first configuration, as only this build needs it: the Linux build and
  # scripts/run.sh work without a network.
  set(_strelvik_fetched_imgui ${CMAKE_SOURCE_DIR}/build/third-party/imgui-1.86)
  set(STRELVIK_IMGUI_SOURCE ${_strelvik_fetched_imgui} CACHE PATH "Dear ImGui's source, with the backends folder")
  if(NOT EXISTS ${STRELVIK_IMGUI_SOURCE}/backends/imgui_impl_dx11.cpp AND "${STRELVIK_IMGUI_SOURCE}" STREQUAL "${_strelvik_fetched_imgui}")
    message(STATUS "Fetching Dear ImGui's source (scripts/fetch-imgui-source.sh)")
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-imgui-source.sh)
  endif()
  if(NOT EXISTS ${STRELVIK_IMGUI_SOURCE}/backends/imgui_impl_dx11.cpp)
    message(FATAL_ERROR "${STRELVIK_IMGUI_SOURCE} not found: scripts/fetch-imgui-source.sh fetches it "
      "(once, with the network), or set STRELVIK_IMGUI_SOURCE to an unpacked copy")
  endif()
  add_library(strelvik_imgui STATIC
    ${STRELVIK_IMGUI_SOURCE}/imgui.cpp
    ${STRELVIK_IMGUI_SOURCE}/imgui_draw.cpp
    ${STRELVIK_IMGUI_SOURCE}/imgui_tables.cpp
    ${STRELVIK_IMGUI_SOURCE}/imgui_widgets.cpp
    ${STRELVIK_IMGUI_SOURCE}/misc/cpp/imgui_stdlib.cpp
    ${STRELVIK_IMGUI_SOURCE}/backends/imgui_impl_win32.cpp
    ${STRELVIK_IMGUI_SOURCE}/backends/imgui_impl_dx11.cpp)
  # As Debian's package builds it: the same headers on both platforms, no demo window.
  target_include_directories(strelvik_imgui SYSTEM PUBLIC ${STRELVIK_IMGUI_SOURCE} ${STRELVIK_IMGUI_SOURCE}/misc/cpp)
  # Its C++20 enum warnings are the library's, not ours.
  target_compile_options(strelvik_imgui PRIVATE -w)
  # Its files define same-named helpers of their own: compiled one by one.
  set_target_properties(strelvik_imgui PROPERTIES UNITY_BUILD OFF)
  target_link_libraries(strelvik_imgui PUBLIC d3d11 dxgi d3dcompiler dwmapi imm32 gdi32)
  add_library(PkgConfig::IMGUI ALIAS strelvik_imgui)

  # The Windows tests compare with the Linux programs and start the Linux leaderboard server.
  set(STRELVIK_LINUX_BIN_DIR ${CMAKE_SOURCE_DIR}/build/release/bin CACHE PATH
    "The Linux release build's programs, for the Windows tests run under wine")
  if(STRELVIK_BUILD_TESTS)
    if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
      message(FATAL_ERROR "/usr/src/googletest not found: install googletest (scripts/install-deps.sh)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    # Defines GTest::gtest and GTest::gmock itself.
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  endif()
  return()
endif()

find_package(PkgConfig REQUIRED)

# Header-only libraries every program uses.
find_package(nlohmann_json 3.11 REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)

# Platform services: hashing, HTTPS, graphics adapters.
find_package(OpenSSL REQUIRED COMPONENTS Crypto SSL)
pkg_check_modules(LIBCURL REQUIRED IMPORTED_TARGET libcurl>=7.87)
pkg_check_modules(LIBPCI REQUIRED IMPORTED_TARGET libpci)
find_path(VULKAN_HEADERS_DIR vulkan/vulkan_core.h)
if(NOT VULKAN_HEADERS_DIR)
  message(FATAL_ERROR "Vulkan headers not found: install libvulkan-dev (scripts/install-deps.sh)")
endif()

# The leaderboard server.
pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib>=0.11)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
# Unicode character categories for the processor-name rules.
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)
find_package(PostgreSQL REQUIRED)

# The window.
find_package(glfw3 3.3 REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui>=1.86)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)

if(STRELVIK_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
